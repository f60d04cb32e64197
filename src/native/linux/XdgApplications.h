#pragma once
// The applications of a Linux desktop's menu: the desktop entries of
// $XDG_DATA_HOME/applications and of "applications" under every $XDG_DATA_DIRS folder, searched
// through their subfolders. An entry's desktop file ID is its path below the folder with '/'
// made '-'; the first folder that holds an ID decides for it, as the menu specification says.
// What the menu shows is what GLib's g_app_info_should_show shows: an entry the session would
// start (see desktop::judge) that is not NoDisplay.

#include "platform/Applications.h"

#include <functional>
#include <map>
#include <string>

namespace lw {

class XdgApplications : public Applications {
public:
  using Environment = std::function<const char *(const char *)>;
  explicit XdgApplications(Environment environment);

  std::vector<InstalledApplication> list() override;
  std::optional<InstalledApplication> find(std::string_view id) override;

  // The application folders, most important first.
  static std::vector<std::string> folders(const Environment &environment);
  // Every desktop file ID of the folders with the file that decides for it.
  static std::map<std::string, std::string> files(const Environment &environment);
  // The file of the id ("firefox-esr" or "firefox-esr.desktop"); nothing when no folder has it.
  static std::optional<std::string> fileOf(const Environment &environment, std::string_view id);

private:
  Environment environment;
};

} // namespace lw
