#pragma once
// The companion starter. Entered in the user's Run key while customized entries exist, it is
// what the session starts at logon: it leaves the logon marker for the program and starts the
// program beside it, without waiting for it.

#include "platform/ProgramLocation.h"
#include "platform/Registry.h"

#include <functional>
#include <string>
#include <string_view>

namespace lw {

// The program file the starter starts, beside its own file.
inline constexpr std::string_view mainProgramName = LW_MAIN_PROGRAM;

// Starts the program file itself, detached, with no descriptor or handle of the starter's;
// never through a file association. False when it is missing, not an executable program or
// could not be started.
using ProgramStart = std::function<bool(const std::string &program)>;

// The operating system's way of doing that (one source file per system).
bool startProgramDirectly(const std::string &program);

// Sets "Autostart" = "x" in the program's settings key, then starts the program from the
// starter's own directory. The marker goes first, so that the program finds it however quickly
// it reads it, and is taken back when the start fails: a marker without a started program
// would make the next start by hand wait and hide in the tray. True when the program was
// started; `program` names its file either way.
bool runStarter(Registry &registry, const ProgramLocation &location, const ProgramStart &start,
                std::string &program);

// The program file for a starter in this directory (given with its trailing separator): the one
// beside it, or, for the installed starter in <prefix>/libexec/launchwright with no program
// beside it, the installed one in <prefix>/bin.
std::string programBeside(const std::string &starterDirectory);

} // namespace lw
