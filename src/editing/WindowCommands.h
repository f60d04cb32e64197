#pragma once
// The main window's entry commands: Edit (also the list's double click), Add, Delete, Disable,
// Enable, and the File menu's Reverse Startup Changes and Edit Backup File. They keep no state
// between calls; what they need of the main window comes through EntryCommandHost. They ask the
// user and tell the outcome; what a command does to the entry is the core's (entries/).

#include "entries/EntryCommands.h"
#include "entries/StartupList.h"
#include "platform/Platform.h"
#include "storage/EntryStore.h"
#include "support/LanguageTable.h"
#include "support/Toolbox.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lw {

// What the commands need of the main window.
class EntryCommandHost {
public:
  virtual ~EntryCommandHost() = default;
  // The entry of the row the user last selected, as it was read: its kind and the exact bytes
  // of its name and command. Nothing when no row is selected.
  virtual std::optional<StartupEntry> selectedEntry() const = 0;
  // Makes the timer reload its copy of the customized entries on its next tick.
  virtual void setReloadPending() = 0;
  virtual void refreshList() = 0;
  // Refreshes the list with that entry selected again, where it still is.
  virtual void refreshSelecting(const StartupEntry &entry) = 0;
  // The main window's own table, toolbox and platform.
  virtual const LanguageTable &commandTexts() const = 0;
  virtual Toolbox &commandToolbox() = 0;
  virtual const Platform &commandPlatform() const = 0;
  // The companion starter's program file beside this program, which follows the customized
  // entries after every change.
  virtual std::string_view commandStarterFile() const = 0;
};

// Delete as the user sees it: question 565 naming the entry as listed (`shown`, else its name),
// then the core's deleteEntry, then notice 570 or what
// went wrong (585, 575). `removed` runs between the removal and the notice: the main window's
// timer keeps ticking inside the notice's modal loop and must reload before it writes its copy of
// the customized entries back. Nothing when the user answered No.
std::optional<RemovalOutcome> askAndRemove(const Platform &platform, const EntryValues &entry,
                                           std::string_view starterFile,
                                           const std::function<void()> &removed,
                                           const std::string &shown = {});

struct EntryFormActions;
// The entry form's actions as the window carries them out: the core's saveEntry, and Delete this
// entry through askAndRemove. `customizedWritten` runs as soon as either has changed the
// customized entries.
EntryFormActions entryFormActions(const Platform &platform, std::string_view starterFile,
                                  std::function<void()> customizedWritten);

// Each may throw FileError, which ends the command where it happened; the host's dispatch
// reports it.
void onEditEntry(EntryCommandHost &host);
void onAddEntry(EntryCommandHost &host);
void onDeleteSelectedEntry(EntryCommandHost &host);
// The selected entry switched off or on: a missing selection and a failure are told; the list
// is refreshed and, for a customized entry, the timer reloads.
void onSetEntryEnabled(EntryCommandHost &host, bool enabled);
void onReverseStartupChanges(EntryCommandHost &host);

// The commands on a row of another way a program starts at logon, which go to the source that
// listed it: Edit opens its file for the user's own editor, Delete says why it is not done here,
// Disable and Enable switch it where the source can (and say why not where it cannot), Start
// Now starts it where the source can. True when the entry was such a row and the command was
// dealt with here.
enum class LogonCommand { Edit, Delete, Disable, Enable, Start };
bool onLogonEntry(EntryCommandHost &host, const StartupEntry &entry, LogonCommand command);

} // namespace lw
