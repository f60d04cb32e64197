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
  // Explorer with the file selected in its folder.
  bool showInFolder(const std::string &file) override;
  // The shell's properties dialog of the file.
  bool showProperties(const std::string &file) override;
  // The program part of the command as CreateProcess reads it, searched on PATH when it is a
  // bare name.
  std::string programFile(const std::string &command) const override;
  // The CompanyName of the file's version information in its first translation.
  std::string publisher(const std::string &file) const override;

private:
  // The shell's "open" of file with parameters (empty: none) in folder (empty: the usual one);
  // a failure names program.
  static StartResult execute(const std::wstring &file, const std::wstring &parameters,
                             const std::wstring &folder, const std::string &program);
};

} // namespace lw
