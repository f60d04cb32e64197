// The two entry commands that show the entry dialog.

#include "EntryDialog.h"
#include "editing/WindowCommands.h"
#include "entries/EntryCommands.h"

#include "support/TextNumbers.h"

namespace lw {

void onEditEntry(EntryCommandHost &host) {
  const Platform &platform = host.commandPlatform();
  const auto entry = host.selectedEntry();
  if (!entry) {
    platform.prompter.tell(host.commandTexts().getText(text::noSelectionToEdit),
                           EntryStore::caption);
    return;
  }
  if (onLogonEntry(host, *entry, LogonCommand::Edit))
    return;
  EntryDialog dialog(platform);
  dialog.customizedWritten = [&host] { host.setReloadPending(); };
  dialog.kind = static_cast<int>(entry->kind);
  if (entry->kind == EntryKind::Customized) {
    dialog.readEntries();
    dialog.schedule = storedScheduleLine(dialog.customLines, entry->name);
  }
  dialog.name = entry->name;
  dialog.oldView32 = entry->view32;
  dialog.displayName = entry->displayName;
  dialog.command = entry->command;
  dialog.exec();
  if (dialog.changed)
    host.setReloadPending();
  // The edited entry, under its new kind and name if it was saved; an entry that keeps its kind
  // keeps its registry view.
  StartupEntry edited;
  edited.kind = static_cast<EntryKind>(dialog.kind);
  edited.name = dialog.name;
  edited.view32 = edited.kind == entry->kind && entry->view32;
  host.refreshSelecting(edited);
}

void onAddEntry(EntryCommandHost &host) {
  EntryDialog dialog(host.commandPlatform());
  dialog.customizedWritten = [&host] { host.setReloadPending(); };
  dialog.kind = static_cast<int>(EntryKind::CurrentUser);
  dialog.name = host.commandTexts().getText(text::newEntryName);
  dialog.command.clear();
  dialog.exec();
  if (dialog.changed) {
    host.setReloadPending();
    StartupEntry added;
    added.kind = static_cast<EntryKind>(dialog.kind);
    added.name = dialog.name;
    host.refreshSelecting(added);
  } else {
    host.refreshList();
  }
}

} // namespace lw
