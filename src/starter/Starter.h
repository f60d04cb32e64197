#pragma once
// The companion starter. Entered in the user's Run key while customized entries exist, it is
// what the session starts at logon: it leaves the logon marker for the program and starts the
// program beside it, without waiting for it.

#include "platform/ProgramLocation.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

#include <string_view>

namespace lw {

// The program file the starter starts, beside its own file.
inline constexpr std::string_view mainProgramName = LW_MAIN_PROGRAM;

// Sets "Autostart" = "x" in the program's settings key, then starts the program from the
// starter's own directory. True when the program was started; the marker is written first, so
// that the program finds it however quickly it reads it.
bool runStarter(Registry &registry, Shell &shell, const ProgramLocation &location);

} // namespace lw
