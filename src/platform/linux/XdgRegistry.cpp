#include "XdgRegistry.h"

#include "support/Toolbox.h"

#include <pwd.h>
#include <unistd.h>

namespace lw {
namespace {

bool equalFolded(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i]))
      return false;
  return true;
}

// The XDG rules ignore relative paths in these variables.
bool isAbsolute(const char *path) { return path && path[0] == '/'; }

} // namespace

XdgLocations xdgLocations(const std::function<const char *(const char *)> &lookUp) {
  std::string configHome;
  if (const char *value = lookUp("XDG_CONFIG_HOME"); isAbsolute(value)) {
    configHome = value;
  } else {
    std::string home;
    if (const char *value = lookUp("HOME"); value && *value)
      home = value;
    else if (const passwd *account = ::getpwuid(::getuid()))
      home = account->pw_dir;
    configHome = home + "/.config";
  }

  std::vector<std::string> configDirs;
  const char *dirs = lookUp("XDG_CONFIG_DIRS");
  std::string_view rest = dirs ? dirs : "";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string dir(rest.substr(0, colon));
    if (isAbsolute(dir.c_str()))
      configDirs.push_back(dir);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  if (configDirs.empty())
    configDirs.push_back("/etc/xdg");

  XdgLocations locations;
  locations.userAutostart = configHome + "/autostart";
  for (const auto &dir : configDirs)
    locations.systemAutostart.push_back(dir + "/autostart");
  locations.storeFile = configHome + "/launchwright/registry.ini";
  return locations;
}

XdgRegistry::XdgRegistry(const XdgLocations &locations)
    : user({locations.userAutostart}),
      machine(locations.systemAutostart, {locations.userAutostart}), store(locations.storeFile) {}

AutostartFolders *XdgRegistry::runKey(RegistryRoot root, std::string_view keyPath) {
  if (!equalFolded(keyPath, keys::run))
    return nullptr;
  return root == RegistryRoot::CurrentUser ? &user : &machine;
}

std::optional<std::string> XdgRegistry::read(RegistryRoot root, std::string_view keyPath,
                                             std::string_view name) {
  if (auto *folders = runKey(root, keyPath))
    return folders->read(name);
  return store.read(root, keyPath, name);
}

std::optional<std::vector<std::string>> XdgRegistry::enumerate(RegistryRoot root,
                                                               std::string_view keyPath) {
  if (auto *folders = runKey(root, keyPath))
    return folders->enumerate();
  return store.enumerate(root, keyPath);
}

bool XdgRegistry::write(RegistryRoot root, std::string_view keyPath, std::string_view name,
                        std::string_view data) {
  if (auto *folders = runKey(root, keyPath))
    return folders->write(name, data);
  return store.write(root, keyPath, name, data);
}

bool XdgRegistry::remove(RegistryRoot root, std::string_view keyPath, std::string_view name) {
  if (auto *folders = runKey(root, keyPath))
    return folders->remove(name);
  return store.remove(root, keyPath, name);
}

} // namespace lw
