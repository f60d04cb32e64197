#include "editing/WindowCommands.h"

#include "entries/EntryCommands.h"
#include "entries/FileErrorText.h"
#include "entries/LogonRows.h"
#include "scheduler/ScheduleStatus.h"
#include "storage/EntryFormat.h"
#include "storage/Reversal.h"
#include "support/TextNumbers.h"

namespace lw {

namespace {

void tell(const Platform &platform, const LanguageTable &texts, std::int32_t number,
          const char *caption = EntryStore::caption) {
  platform.prompter.tell(texts.getText(number), caption);
}

} // namespace

std::optional<RemovalOutcome> askAndRemove(const Platform &platform, const EntryValues &entry,
                                           std::string_view starterFile,
                                           const std::function<void()> &removed,
                                           const std::string &shown) {
  EntryStore store(platform);
  store.texts.load();
  // What the store refuses is told before anything else; only an acceptable entry is asked for.
  if (containsLineBreak(entry.name) || containsLineBreak(entry.command)) {
    tell(platform, store.texts, text::lineBreakRefused);
    return RemovalOutcome::Refused;
  }
  if (!platform.prompter.ask(
          fillIn(store.texts.getText(text::deleteQuestion), {shown.empty() ? entry.name : shown}),
          EntryStore::caption))
    return std::nullopt;
  const RemovalOutcome outcome = deleteEntry(store, entry, starterFile, removed);
  switch (outcome) {
  case RemovalOutcome::Removed:
  case RemovalOutcome::NothingToRemove: // gone already: what the user asked for
    tell(platform, store.texts, text::deletedNotice);
    break;
  case RemovalOutcome::Refused:
    tell(platform, store.texts, text::lineBreakRefused);
    break;
  case RemovalOutcome::Failed:
    tell(platform, store.texts, text::removeFailed);
    break;
  }
  return outcome;
}

bool onLogonEntry(EntryCommandHost &host, const StartupEntry &entry, LogonCommand command) {
  if (!entry.logon)
    return false;
  const Platform &platform = host.commandPlatform();
  const LanguageTable &texts = host.commandTexts();
  const LogonItem &item = *entry.logon;
  const auto why = [&](std::int32_t number) {
    platform.prompter.tell(fillIn(texts.getText(number), {logonKindLabel(item.source, texts)}),
                           EntryStore::caption);
  };
  switch (command) {
  case LogonCommand::Edit: {
    const std::string file = logonFileToOpen(platform.logonSources, item);
    if (file.empty())
      why(text::logonNoFile);
    else
      platform.shell.open(file);
    break;
  }
  case LogonCommand::Delete:
    why(text::logonNotDeletable);
    break;
  case LogonCommand::Disable:
  case LogonCommand::Enable: {
    const auto switched = switchLogonItem(platform, texts, item, command == LogonCommand::Enable);
    switch (switched.outcome) {
    case LogonOutcome::NotSupported:
      why(text::logonNotSwitchable);
      break;
    case LogonOutcome::Refused:
      platform.prompter.tell(switched.why, EntryStore::caption);
      break;
    case LogonOutcome::Failed:
      tell(platform, texts, text::switchFailed);
      break;
    case LogonOutcome::Done:
      host.refreshList();
      break;
    }
    break;
  }
  case LogonCommand::Start:
    switch (startLogonItem(platform.logonSources, item)) {
    case LogonOutcome::NotSupported:
      why(text::logonNotStartable);
      break;
    case LogonOutcome::Refused:
    case LogonOutcome::Failed:
      platform.prompter.tell(fillIn(texts.getText(text::startNowFailed),
                                    {entry.name, texts.getText(text::problemOther)}),
                             EntryStore::caption);
      break;
    case LogonOutcome::Done:
      break;
    }
    break;
  }
  return true;
}

void onDeleteSelectedEntry(EntryCommandHost &host) {
  const Platform &platform = host.commandPlatform();
  const auto entry = host.selectedEntry();
  if (!entry) {
    tell(platform, host.commandTexts(), text::noSelectionToDelete);
    return;
  }
  if (onLogonEntry(host, *entry, LogonCommand::Delete))
    return;
  askAndRemove(
      platform, {entry->kind, entry->name, entry->command, {}, entry->view32},
      host.commandStarterFile(), [&host] { host.setReloadPending(); }, shownName(*entry));
  host.setReloadPending();
  host.refreshList();
}

void onSetEntryEnabled(EntryCommandHost &host, bool enabled) {
  const Platform &platform = host.commandPlatform();
  const auto entry = host.selectedEntry();
  if (!entry) {
    tell(platform, host.commandTexts(), text::noSelectionToSwitch);
    return;
  }
  if (onLogonEntry(host, *entry, enabled ? LogonCommand::Enable : LogonCommand::Disable))
    return;
  if (!setEntryEnabled(platform, entry->kind, entry->name, enabled, entry->view32))
    tell(platform, host.commandTexts(), text::switchFailed);
  else if (entry->kind == EntryKind::Customized)
    host.setReloadPending();
  host.refreshSelecting(*entry);
}

void onReverseStartupChanges(EntryCommandHost &host) {
  const Platform &platform = host.commandPlatform();
  const LanguageTable &texts = host.commandTexts();
  EntryStore store(platform);
  ReversalAnswers answers;
  answers.restore = [&](const BackupRecord &record) {
    return platform.prompter.ask(
        restoreQuestion(record, texts,
                        recordKindLabel(record.kindLine, platform.logonSources, texts)),
        EntryStore::caption);
  };
  answers.report = [&](const BackupRecord &, const RestoreReport &report) {
    if (report.restored) {
      std::string notice = texts.getText(text::restoredNotice);
      if (!report.link.empty())
        notice += "\n\n" + restoredAsFileMessage(report.linkTarget, report.link, texts);
      platform.prompter.tell(notice, ""); // no caption of its own
      return;
    }
    std::string notice = texts.getText(text::restoreFailed);
    if (!report.why.empty())
      notice += "\n\n" + report.why;
    platform.prompter.tell(notice, EntryStore::caption);
  };
  bool toldUnreadable = false;
  answers.unreadable = [&](const std::vector<std::size_t> &lines) {
    toldUnreadable = true;
    platform.prompter.tell(
        fillIn(texts.getText(text::unreadableRecords),
               {std::to_string(lines.size()), std::to_string(backupFileLine(lines.front()))}),
        EntryStore::caption);
  };
  const ReversalResult result = reverseStartupChanges(store, host.commandToolbox(), answers);
  // Silence would leave the user wondering whether the menu item did anything.
  if (result.offered == 0 && !toldUnreadable)
    tell(platform, texts, text::nothingToRestore);
  if (result.customizedChanged)
    host.setReloadPending();
  host.refreshList();
}

} // namespace lw
