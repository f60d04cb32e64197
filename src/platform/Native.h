#pragma once
// The real implementations of the platform interfaces for the operating system the program is
// built for. One source set per system provides these functions.

#include "Clock.h"
#include "ProgramLocation.h"
#include "Registry.h"
#include "Shell.h"
#include "StartupState.h"

#include <memory>

namespace lw {

// The registry of this system. On Linux the two Run keys are the XDG autostart folders of the
// user and of the system, located through the XDG environment variables; every other key lives
// in a small per-user store file.
std::unique_ptr<Registry> makeNativeRegistry();
std::unique_ptr<Shell> makeNativeShell();
std::unique_ptr<Clock> makeNativeClock();
std::unique_ptr<ProgramLocation> makeNativeLocation();
// What the session does with the Run keys' entries at logon, read from the same places as
// makeNativeRegistry's Run keys.
std::unique_ptr<StartupState> makeNativeStartupState();

} // namespace lw
