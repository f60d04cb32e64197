#pragma once
// Asking another program and reading its answer, for sources whose owner is a command-line tool.

#include <chrono>
#include <string>
#include <vector>

namespace lw {

struct ChildOutput {
  std::string output; // everything the program wrote to its standard output
  std::string errors; // and to its error output
  int exitCode = -1;
  // Why there is no answer: the program cannot be started, did not finish in time, wrote too
  // much or was ended by a signal; empty when it ran to its end.
  std::string failure;
};

// Runs the program (a name is searched on PATH) with the arguments, without a shell, and waits
// for its end, at most `limit`: a program that takes longer is killed with everything it started.
// Its input leads nowhere.
ChildOutput runForOutput(const std::string &program, const std::vector<std::string> &arguments,
                         std::chrono::milliseconds limit);

} // namespace lw
