// The two entry commands that show the entry dialog.

#include "EntryCommands.h"
#include "EntryDialog.h"

#include "support/TextNumbers.h"

namespace lw {

void onEditEntry(EntryCommandHost &host) {
  const Platform &platform = host.commandPlatform();
  const LanguageTable &texts = host.commandTexts();
  const int row = host.selectionMark();
  if (row == -1) {
    platform.prompter.tell(texts.getText(text::noSelectionToEdit), EntryStore::caption);
    return;
  }
  EntryDialog dialog(platform);
  dialog.customizedWritten = [&host] { host.setReloadPending(); };
  const std::string label = host.cellText(row, 1);
  const std::string name = host.cellText(row, 0);
  if (label == texts.getText(text::customizedLabel)) {
    dialog.kind = static_cast<int>(EntryKind::Customized);
    dialog.readEntries();
    dialog.schedule = storedScheduleLine(dialog.customLines, name);
  }
  if (label == texts.getText(text::currentUserLabel))
    dialog.kind = static_cast<int>(EntryKind::CurrentUser);
  if (label == texts.getText(text::allUsersLabel))
    dialog.kind = static_cast<int>(EntryKind::AllUsers);
  dialog.name = name;
  dialog.command = host.cellText(row, 2);
  dialog.exec();
  if (dialog.changed)
    host.setReloadPending();
  host.refreshList();
}

void onAddEntry(EntryCommandHost &host) {
  EntryDialog dialog(host.commandPlatform());
  dialog.customizedWritten = [&host] { host.setReloadPending(); };
  dialog.kind = static_cast<int>(EntryKind::CurrentUser);
  dialog.name = host.commandTexts().getText(text::newEntryName);
  dialog.command.clear();
  dialog.exec();
  if (dialog.changed)
    host.setReloadPending();
  host.refreshList();
}

} // namespace lw
