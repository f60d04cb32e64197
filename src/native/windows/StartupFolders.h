#pragma once
// The Startup folders: Explorer opens every file of the user's folder and of the all-users
// folder at logon, a shortcut as the shell resolves it, unless StartupApproved\StartupFolder
// (of HKEY_CURRENT_USER for the user's folder, of HKEY_LOCAL_MACHINE for the common one) switches
// the file off by its name. Shortcuts are read by the shell itself (IShellLinkW), never by
// parsing the .lnk format here.

#include "platform/LogonSources.h"
#include "platform/Registry.h"

#include <optional>
#include <string>
#include <vector>

namespace lw {

class StartupFolders : public LogonSource {
public:
  static constexpr const char *approvedKey =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\StartupFolder";

  struct Folder {
    std::string path;
    RegistryRoot root = RegistryRoot::CurrentUser; // where its StartupApproved values are
    bool allUsers = false;
  };
  // The user's Startup folder and the common one, as the shell knows them; a folder the shell
  // cannot name is left out.
  static std::vector<Folder> nativeFolders();

  // The shell's own folders, asked for when first listed.
  StartupFolders() = default;
  // The folders and the key of the switches are parameters so that tests can use their own.
  explicit StartupFolders(std::vector<Folder> where, std::string approvedPath = approvedKey)
      : folders(std::move(where)), approved(std::move(approvedPath)) {}

  static constexpr LogonReason startupShortcut{{825}, {840}}; // opened by Explorer at logon
  static constexpr const LogonReason *reasons[] = {&startupShortcut};
  static constexpr LogonKind description{"startup-folder", {806}, {812}, reasons};

  LogonSourceKind kind() const override { return &description; }
  LogonSourceListing list() override;
  // The folder that holds the file: opening the shortcut itself would start it.
  std::string fileToOpen(const LogonItem &item) const override;
  bool setEnabled(const LogonItem &item, bool enabled) override;
  bool start(const LogonItem &item) override;
  // Both folders; their StartupApproved switches are in the registry, watched with the Run keys.
  LogonWatch watchPlaces() override;

private:
  const std::vector<Folder> &where();
  const Folder *folderOf(const LogonItem &item);

  std::optional<std::vector<Folder>> folders;
  std::string approved = approvedKey;
};

// What a shortcut starts, as the shell reads it: the target path (empty for a target that is no
// file, such as a Control Panel item) and its arguments; or the shell's reason why it cannot be
// read.
struct ShortcutTarget {
  std::string path;
  std::string arguments;
  std::string failure;
};
ShortcutTarget readShortcut(const std::string &file);
// The command as a Run value would hold it, so that a shortcut reads like the other rows.
std::string shortcutCommand(const ShortcutTarget &target);

} // namespace lw
