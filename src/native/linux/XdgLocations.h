#pragma once
// Where a Linux session keeps what the program reads and writes, by the XDG Base Directory
// rules: the autostart folders that are the two Run keys, and the per-user store file of every
// other key.

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

} // namespace lw
