#pragma once
// The real implementations of the platform interfaces for the operating system the program is
// built for. One source set per system provides these functions.

#include "platform/Applications.h"
#include "platform/Clock.h"
#include "platform/ImpactMeter.h"
#include "platform/LogonSources.h"
#include "platform/ProgramLocation.h"
#include "platform/Registry.h"
#include "platform/RegistryWatch.h"
#include "platform/Shell.h"
#include "platform/StartupState.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lw {

// The registry of this system, for the program's own values. On Linux it is a small per-user
// store file located through the XDG environment variables.
std::unique_ptr<Registry> makeNativeRegistry();
std::unique_ptr<Shell> makeNativeShell();
std::unique_ptr<Clock> makeNativeClock();
std::unique_ptr<ProgramLocation> makeNativeLocation();
// The entries of the Run keys and what the session does with them at logon (on Linux the XDG
// autostart folders of the user and of the system). `desktop`, when given, names the running
// desktop the entries are judged for instead of the session's own (on Linux as XDG_CURRENT_DESKTOP
// does: names separated by ':'); Windows has one desktop and ignores it.
std::unique_ptr<StartupState>
makeNativeStartupState(std::optional<std::string> desktop = std::nullopt);
// Whether the session names its desktop, so that an entry meant for some desktops only is judged
// for it (on Linux: XDG_CURRENT_DESKTOP is set and not empty). Always so on Windows.
bool sessionNamesItsDesktop();
// The other ways a program starts at logon on this system, one reader each (see LogonSources.h).
// Making them asks nothing yet: each is asked when listed.
std::vector<std::unique_ptr<LogonSource>> makeNativeLogonSources();
// The registry keys of what starts at logon, watched; nothing where there is no registry.
std::unique_ptr<RegistryWatch> makeNativeRegistryWatch();
// The applications of the desktop's menu (on Windows the Start menu's shortcuts).
std::unique_ptr<Applications> makeNativeApplications();
// What each entry cost at logon, measured on this system (see ImpactMeter.h).
std::unique_ptr<ImpactMeter> makeNativeImpactMeter();

} // namespace lw
