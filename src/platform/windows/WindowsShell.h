#pragma once

#include "platform/Shell.h"

#include <windows.h>

namespace lw {

// The shell's "open" verb: the file's associated program, the address's handler or the program
// itself, with the arguments that follow the program in the command line.
class WindowsShell : public Shell {
public:
  bool open(const std::string &target) override;
  StartResult start(const std::string &command, const std::string &workingDirectory,
                    StartStyle style) override;
};

} // namespace lw
