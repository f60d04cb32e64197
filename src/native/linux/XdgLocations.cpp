#include "XdgLocations.h"

#include <pwd.h>
#include <unistd.h>

namespace lw {
namespace {

// The XDG rules ignore relative paths in these variables.
bool isAbsolute(const char *path) { return path && path[0] == '/'; }

} // namespace

XdgLocations xdgLocations(const std::function<const char *(const char *)> &lookUp) {
  std::string home;
  if (const char *value = lookUp("HOME"); value && *value)
    home = value;
  else if (const passwd *account = ::getpwuid(::getuid()))
    home = account->pw_dir;
  while (home.size() > 1 && home.back() == '/')
    home.pop_back();
  std::string configHome;
  if (const char *value = lookUp("XDG_CONFIG_HOME"); isAbsolute(value))
    configHome = value;
  else
    configHome = home + "/.config";

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
  auto inHome = [&](const std::string &dir) {
    return home.size() > 1 && (dir == home || dir.starts_with(home + "/"));
  };
  for (const auto &dir : configDirs) {
    locations.systemAutostart.push_back(dir + "/autostart");
    if (locations.systemNewEntries.empty() && !inHome(dir))
      locations.systemNewEntries = dir + "/autostart";
  }
  if (locations.systemNewEntries.empty())
    locations.systemNewEntries = "/etc/xdg/autostart";
  locations.storeFile = configHome + "/launchwright/registry.ini";
  return locations;
}

} // namespace lw
