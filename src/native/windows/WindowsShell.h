#pragma once

#include "platform/Shell.h"

#include <windows.h>

namespace lw {

// The shell's "open" verb: the file's associated program, the address's handler or the program
// itself, with the arguments that follow the program in the command line.
class WindowsShell : public Shell {
public:
  // The target is one file, folder or address as it is, blanks and all: never a command line.
  bool open(const std::string &target) override;
  StartResult start(const std::string &command, const std::string &workingDirectory,
                    StartStyle style) override;

private:
  // The shell's "open" of file with parameters (empty: none) in folder (empty: the usual one);
  // a failure names program.
  static StartResult execute(const std::wstring &file, const std::wstring &parameters,
                             const std::wstring &folder, const std::string &program);
};

} // namespace lw
