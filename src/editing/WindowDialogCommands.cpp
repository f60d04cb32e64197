// The two entry commands that show the entry dialog.

#include "EntryDialog.h"
#include "editing/WindowCommands.h"
#include "entries/EntryCommands.h"

#include "support/TextNumbers.h"

namespace lw {

EntryFormActions entryFormActions(const Platform &platform, std::string_view starterFile,
                                  std::function<void()> customizedWritten) {
  EntryFormActions actions;
  actions.save = [&platform, customizedWritten](const std::optional<EntryValues> &old,
                                                const EntryValues &entry) {
    EntryStore store(platform);
    return saveEntry(store, old, entry, customizedWritten);
  };
  actions.remove = [&platform, starterFile, customizedWritten](const EntryValues &opened) {
    const auto outcome = askAndRemove(platform, opened, starterFile, [&] {
      if (opened.kind == EntryKind::Customized && customizedWritten)
        customizedWritten();
    });
    return outcome == RemovalOutcome::Removed || outcome == RemovalOutcome::NothingToRemove;
  };
  return actions;
}

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
  EntryForm form;
  form.entry = {entry->kind, entry->name, entry->command, {}, entry->view32};
  if (entry->kind == EntryKind::Customized) {
    EntryStore store(platform);
    store.readEntries();
    form.entry.schedule = storedScheduleLine(store.customLines, entry->name);
  }
  form.displayName = entry->displayName;
  // An entry without a command under the name Add hands over is taken for a new one.
  form.adding = EntryDialog::isAddingMode(form.entry, host.commandTexts());
  EntryDialog dialog(
      platform, std::move(form),
      entryFormActions(platform, host.commandStarterFile(), [&host] { host.setReloadPending(); }));
  dialog.exec();
  if (dialog.changed())
    host.setReloadPending();
  // The edited entry, under its new kind and name if it was saved; an entry that keeps its kind
  // keeps its registry view.
  StartupEntry edited;
  edited.kind = dialog.values().kind;
  edited.name = dialog.values().name;
  edited.view32 = edited.kind == entry->kind && entry->view32;
  host.refreshSelecting(edited);
}

void onAddEntry(EntryCommandHost &host) {
  const Platform &platform = host.commandPlatform();
  EntryForm form;
  form.entry.kind = EntryKind::CurrentUser;
  form.entry.name = host.commandTexts().getText(text::newEntryName);
  form.adding = true;
  EntryDialog dialog(
      platform, std::move(form),
      entryFormActions(platform, host.commandStarterFile(), [&host] { host.setReloadPending(); }));
  dialog.exec();
  // A new entry counts as a change from the start.
  host.setReloadPending();
  StartupEntry added;
  added.kind = dialog.values().kind;
  added.name = dialog.values().name;
  host.refreshSelecting(added);
}

} // namespace lw
