#include "editing/WindowCommands.h"

#include "entries/EntryCommands.h"
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

std::optional<RemovalOutcome> askAndRemove(EntryStore &store, EntryKind kind,
                                           const std::string &name, const std::string &command,
                                           const std::function<void()> &removed) {
  const Platform &platform = store.system();
  store.texts.load();
  // What the store refuses is told before anything else; only an acceptable entry is asked for.
  if (containsLineBreak(name) || containsLineBreak(command)) {
    tell(platform, store.texts, text::lineBreakRefused);
    return RemovalOutcome::Refused;
  }
  if (!platform.prompter.ask(store.texts.getText(text::deleteQuestion), EntryStore::caption))
    return std::nullopt;
  const RemovalOutcome outcome = store.removeWithBackup(kind, name, command);
  switch (outcome) {
  case RemovalOutcome::Removed:
  case RemovalOutcome::NothingToRemove: // gone already: what the user asked for
    if (removed)
      removed();
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

void onDeleteSelectedEntry(EntryCommandHost &host) {
  const Platform &platform = host.commandPlatform();
  const auto entry = host.selectedEntry();
  if (!entry) {
    tell(platform, host.commandTexts(), text::noSelectionToDelete);
    return;
  }
  EntryStore store(platform);
  askAndRemove(store, entry->kind, entry->name, entry->command,
               [&host] { host.setReloadPending(); });
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
  if (!setEntryEnabled(platform, entry->kind, entry->name, enabled))
    tell(platform, host.commandTexts(), text::switchFailed);
  else if (entry->kind == EntryKind::Customized)
    host.setReloadPending();
  host.refreshSelecting(entry->kind, entry->name);
}

void onReverseStartupChanges(EntryCommandHost &host) {
  const Platform &platform = host.commandPlatform();
  const LanguageTable &texts = host.commandTexts();
  EntryStore store(platform);
  ReversalAnswers answers;
  answers.restore = [&](const BackupRecord &record) {
    return platform.prompter.ask(restoreQuestion(record, texts), EntryStore::caption);
  };
  answers.report = [&](const BackupRecord &, const RestoreReport &report) {
    if (report.restored) {
      platform.prompter.tell(texts.getText(text::restoredNotice), ""); // no caption of its own
      return;
    }
    std::string notice = texts.getText(text::restoreFailed);
    if (!report.why.empty())
      notice += "\n\n" + report.why;
    platform.prompter.tell(notice, EntryStore::caption);
  };
  const ReversalResult result = reverseStartupChanges(store, host.commandToolbox(), answers);
  if (result.customizedChanged)
    host.setReloadPending();
  host.refreshList();
}

void onEditBackupFile(EntryCommandHost &host) {
  host.commandPlatform().shell.open(host.commandToolbox().userFile(backupFileName));
}

} // namespace lw
