#pragma once
// The built program started as a user starts it, in a session of its own: temporary folders,
// and on Windows the Wine prefix's registry. How a process is started, watched and ended, and
// where the logon marker lives, is the system's: the build picks ProgramSessionPosix.cpp or
// ProgramSessionWin32.cpp.
#include "Fakes.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lw::test {

// A started process: its id on POSIX, its handle on Windows.
using Process = std::intptr_t;

struct ProgramSession {
  ProgramSession();
  ~ProgramSession();

  // The program, started without arguments (the window), headless; or with arguments (a
  // command of the command line).
  Process start(const std::vector<std::string> &arguments = {}) const;
  // The logon marker rwlaunch leaves for the program, where the program keeps its settings.
  void leaveLogonMarker() const;
  bool logonMarkerLeft() const;
  // A command line that appends "ran" and a line end to `file` (named "log"), and what it
  // appends.
  static std::string appendRan(const std::filesystem::path &file);
  static const char *const ranLine;
  // What a crashed instance leaves behind for the next start to cope with.
  void leaveCrashedInstance() const;

  TestProgram program;
  std::filesystem::path home = program.dir.path() / "home";
  std::filesystem::path config = program.dir.path() / "config";
  std::filesystem::path runtime = program.dir.path() / "runtime";
};

// The exit code of a process that has ended (-1 when it was killed), nothing while it runs.
std::optional<int> exitCode(Process process);
// The exit code, or -1 when the process did not end in time (it is killed then).
int waitForExit(Process process, std::chrono::seconds limit);
// Ends the process (SIGTERM on POSIX; Windows has no polite request to a process).
void askToEnd(Process process);

} // namespace lw::test
