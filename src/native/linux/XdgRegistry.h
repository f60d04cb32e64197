#pragma once
// The registry on a Linux desktop. The two Run keys are the XDG autostart folders, so that
// what the program lists, adds and deletes is what the session really starts at logon; every
// other key lives in a small per-user store file.

#include "RegistryStore.h"
#include "XdgStartupState.h"
#include "platform/Registry.h"

#include <functional>
#include <string>
#include <vector>

namespace lw {

struct XdgLocations {
  // $XDG_CONFIG_HOME/autostart: HKEY_CURRENT_USER's Run key.
  std::string userAutostart;
  // "autostart" under every folder of $XDG_CONFIG_DIRS, most important first:
  // HKEY_LOCAL_MACHINE's Run key.
  std::vector<std::string> systemAutostart;
  // $XDG_CONFIG_HOME/launchwright/registry.ini: every other key.
  std::string storeFile;
  // Where a new machine entry goes: the first of systemAutostart that is not in the user's home
  // (KDE puts ~/.config/kdedefaults there, which is no machine folder). Empty: the first.
  std::string systemNewEntries;
};

// The locations the XDG Base Directory rules give for these environment variables; lookUp
// answers nullptr for an unset variable.
XdgLocations xdgLocations(const std::function<const char *(const char *)> &lookUp);

class XdgRegistry : public Registry {
public:
  explicit XdgRegistry(const XdgLocations &locations,
                       XdgStartupState::Environment environment = {});

  std::optional<std::string> read(RegistryRoot root, std::string_view keyPath,
                                  std::string_view name) override;
  std::optional<std::vector<std::string>> enumerate(RegistryRoot root,
                                                    std::string_view keyPath) override;
  std::optional<std::vector<std::string>> enumerateOrFail(RegistryRoot root,
                                                          std::string_view keyPath) override;
  bool write(RegistryRoot root, std::string_view keyPath, std::string_view name,
             std::string_view data) override;
  bool remove(RegistryRoot root, std::string_view keyPath, std::string_view name) override;
  std::vector<std::string> storeFiles() const override { return {store.file()}; }

private:
  static bool isRunKey(std::string_view keyPath);

  XdgStartupState autostart;
  RegistryStore store;
};

} // namespace lw
