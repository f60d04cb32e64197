#pragma once
// The two Run keys of a Linux session as the session sees them: every autostart file with what
// the session will do with it, adding, changing and removing entries, switching them off and on.
//
// The user key is $XDG_CONFIG_HOME/autostart; the machine key is the "autostart" folder of every
// $XDG_CONFIG_DIRS entry, merged by name. A user file hides a machine file of the same name, as
// the XDG autostart rules say: the machine entry is then Replaced, or Disabled when the user
// file only switches it off (a switched-off user file of a name the machine key also holds is
// the machine entry's switch, not an entry of its own). Disabling a machine entry writes such a
// file, so that a user without administrator rights can do it.
//
// A row's detail is: Unreadable, the system's reason or the malformed line; Disabled, the key
// that switches it off; Replaced, the user's file; NotAProgram, the Type when there is one
// other than Application (empty otherwise); OtherDesktop, the OnlyShowIn names (or the
// NotShowIn names, when one of them refused) separated by ';'; ProgramMissing, the program.

#include "AutostartFolders.h"
#include "CommandLine.h"
#include "DesktopVerdict.h"
#include "XdgLocations.h"
#include "platform/StartupState.h"
#include "support/TextFile.h"

#include <functional>
#include <memory>

namespace lw {

class XdgStartupState : public StartupState {
public:
  using Environment = std::function<const char *(const char *)>;

  explicit XdgStartupState(const XdgLocations &locations, Environment environment = {},
                           commandline::FileProbe probe = commandline::isExistingFile);

  std::optional<std::vector<RunEntry>> entries(RegistryRoot root) override;
  bool setEnabled(RegistryRoot root, std::string_view name, bool enabled) override;
  bool rename(RegistryRoot root, std::string_view from, std::string_view to) override;
  // The snapshot holds every folder's file of the name with its folder, deciding one first, and
  // for a machine entry the user's file that switches it off; each with its mode and owner, and
  // a link as the link it was (with the bytes of its file, for when it cannot be made again).
  std::optional<std::string> snapshot(RegistryRoot root, std::string_view name) override;
  SnapshotRestore restoreSnapshot(RegistryRoot root, std::string_view name,
                                  std::string_view snapshot) override;
  BothKeys entriesOfBoth() override;
  std::optional<std::string> missingProgram(std::string_view command) override;
  std::vector<std::optional<std::string>>
  missingPrograms(const std::vector<std::string_view> &commands) override;
  std::vector<std::string> entryFolders() const override;
  std::string programCommand(std::string_view programFile) const override;
  std::string unstartableCharacters(std::string_view programFile) const override;
  // A name is a file name: one isSafeName takes and not only blanks, short enough that
  // "<name>.desktop" fits the file system of the folder new entries go to.
  bool usableName(RegistryRoot root, std::string_view name) const override;
  std::size_t longestName(RegistryRoot root) const override;

  // Names are the exact file names; an unreadable entry's command is empty.
  std::optional<std::vector<std::string>> names(RegistryRoot root) override;
  std::optional<std::string> commandOf(RegistryRoot root, std::string_view name) override;
  std::string entryFile(RegistryRoot root, std::string_view name) override;
  // False when the name's file is a link or not a regular file, which is never written through.
  bool write(RegistryRoot root, std::string_view name, std::string_view command) override;
  // The copy is of the desktop file Applications::find finds for the id.
  bool writeFromApplication(RegistryRoot root, std::string_view name, std::string_view command,
                            std::string_view application) override;
  // Every folder's file of the name goes; the switch is in the file and goes with it.
  bool remove(RegistryRoot root, std::string_view name) override;

private:
  AutostartFolders &folders(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? user : machine;
  }
  // The user's file of the name when it only switches off the machine entry of that name.
  std::optional<AutostartFolders::File> machineSwitch(std::string_view name) const;
  // Whether an entry of this root may be written under the file name (`exists`: a file of that
  // root has it already).
  bool mayWrite(RegistryRoot root, std::string_view fileName, bool exists) const;
  // write, or with `copy` the application's entry that becomes the new file (its Name and Exec
  // made the entry's own).
  bool writeFrom(RegistryRoot root, std::string_view name, std::string_view command,
                 DesktopEntry *copy);
  // The rows of root from its files and the other key's, both as AutostartFolders::list gives
  // them.
  std::vector<RunEntry> rowsOf(RegistryRoot root, const std::vector<AutostartFolders::File> &files,
                               const std::vector<AutostartFolders::File> &others,
                               desktop::Session &session) const;
  bool changeFile(const std::string &path, const std::function<bool(DesktopEntry &)> &change);
  // The lock every Launchwright process of this user takes around a change of the autostart
  // folders, so that a switch from the command line and an edit in the window cannot lose one
  // another's change; nothing when it cannot be had, and then nothing may be changed.
  std::unique_ptr<FileLock> lockChanges() const;

  AutostartFolders user;
  AutostartFolders machine;
  Environment environment;
  commandline::FileProbe probe;
  std::string changesLock; // FileLock's path: beside the user's registry.ini
};

} // namespace lw
