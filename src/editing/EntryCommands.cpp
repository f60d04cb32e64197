#include "EntryCommands.h"

#include "storage/EntryFormat.h"
#include "storage/EntryStore.h"
#include "storage/Reversal.h"
#include "support/TextNumbers.h"

namespace lw {

int kindOfLabel(const std::string &label, const LanguageTable &texts) {
  int kind = -1;
  if (label == texts.getText(text::customizedLabel))
    kind = static_cast<int>(EntryKind::Customized);
  if (label == texts.getText(text::currentUserLabel))
    kind = static_cast<int>(EntryKind::CurrentUser);
  if (label == texts.getText(text::allUsersLabel))
    kind = static_cast<int>(EntryKind::AllUsers);
  return kind;
}

std::string storedScheduleLine(const std::vector<std::string> &customLines,
                               const std::string &name) {
  std::string line;
  // Blocks are found by position; a trailing incomplete block may lack its schedule line.
  for (std::size_t at = 0; at < customLines.size(); at += linesPerBlock)
    if (customLines[at] == name)
      line = at + 2 < customLines.size() ? customLines[at + 2] : std::string();
  return line;
}

RemovalOutcome removeAndReport(EntryStore &store, int kind, const std::string &name,
                               const std::string &command, const std::function<void()> &removed) {
  const Platform &platform = store.system();
  store.texts.load();
  // What the store refuses it tells before anything else; only an acceptable entry is asked for.
  const bool acceptable = kind >= static_cast<int>(EntryKind::AllUsers) &&
                          kind <= static_cast<int>(EntryKind::Customized) &&
                          !containsLineBreak(name) && !containsLineBreak(command);
  if (acceptable &&
      !platform.prompter.ask(store.texts.getText(text::deleteQuestion), EntryStore::caption))
    return RemovalOutcome::Declined;
  store.quiet = true;
  const RemovalOutcome outcome = store.removeWithBackup(kind, name, command);
  store.quiet = false;
  if (outcome == RemovalOutcome::Removed) {
    if (removed)
      removed();
    platform.prompter.tell(store.texts.getText(text::deletedNotice), EntryStore::caption);
  }
  return outcome;
}

void onDeleteSelectedEntry(EntryCommandHost &host) {
  const Platform &platform = host.commandPlatform();
  const LanguageTable &texts = host.commandTexts();
  const int row = host.selectionMark();
  if (row == -1) {
    platform.prompter.tell(texts.getText(text::noSelectionToDelete), EntryStore::caption);
    return;
  }
  // A label that matches no kind means the table changed under the list; guessing a kind
  // could delete a different entry of the same name.
  const int kind = kindOfLabel(host.cellText(row, 1), texts);
  if (kind == -1) {
    platform.prompter.tell(texts.getText(text::unknownKindRefused), EntryStore::caption);
    return;
  }
  EntryStore store(platform);
  store.oldKind = 99;
  store.quiet = false;
  removeAndReport(store, kind, host.cellText(row, 0), host.cellText(row, 2),
                  [&host] { host.setReloadPending(); });
  host.setReloadPending();
  host.refreshList();
}

void onReverseStartupChanges(EntryCommandHost &host) {
  EntryStore store(host.commandPlatform());
  const ReversalResult result =
      reverseStartupChanges(store, host.commandToolbox(), host.commandTexts());
  if (result.customizedChanged)
    host.setReloadPending();
  host.refreshList();
}

void onEditBackupFile(EntryCommandHost &host) {
  host.commandPlatform().shell.open(host.commandToolbox().userFile(backupFileName));
}

} // namespace lw
