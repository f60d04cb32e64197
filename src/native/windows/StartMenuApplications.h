#pragma once
// The applications of the Start menu: the shortcuts of the user's and the common Start
// Menu\Programs folders and their subfolders, read by the shell (IShellLinkW). An application's
// id and icon are its shortcut's path, its name the shortcut's name without ".lnk".

#include "platform/Applications.h"

namespace lw {

class StartMenuApplications : public Applications {
public:
  std::vector<InstalledApplication> list() override;
  std::optional<InstalledApplication> find(std::string_view id) override;
};

} // namespace lw
