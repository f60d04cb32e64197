#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Why a program could not be started.
// NoOpener: a document whose type no program is set to open (the Windows shell tells this).
enum class StartProblem { None, ProgramNotFound, NotExecutable, PermissionDenied, NoOpener, Other };

struct StartResult {
  StartProblem problem = StartProblem::None;
  std::string program; // the program that could not be started, when it is known
  bool started() const { return problem == StartProblem::None; }
};

// How a command is started: as the shell's "open" (a document or address goes to its opener),
// or as the desktop runs an autostart entry's command (always a program and its arguments).
enum class StartStyle { Open, Exec };

// The desktop's "open": a document, an address or a command line, started without waiting.
class Shell {
public:
  virtual ~Shell() = default;
  // True when something was started.
  virtual bool open(const std::string &target) = 0;
  // The program and arguments that show a document in the desktop's viewer, for a caller that
  // wants to learn how that program ends; empty where open() already tells.
  virtual std::vector<std::string> documentOpener(const std::string &document) const {
    (void)document;
    return {};
  }
  // Starts as open does, or as the desktop runs a command, in workingDirectory (empty: the
  // usual folder), and says why when nothing was started. A system that cannot tell why only
  // knows that it failed.
  virtual StartResult start(const std::string &command, const std::string &workingDirectory,
                            StartStyle style) {
    (void)workingDirectory;
    (void)style;
    return open(command) ? StartResult{} : StartResult{StartProblem::Other, {}};
  }
};

// Fixed names of the problems, for what is kept or printed for other programs to read.
inline std::string_view problemCode(StartProblem problem) {
  switch (problem) {
  case StartProblem::None:
    return "started";
  case StartProblem::ProgramNotFound:
    return "program-missing";
  case StartProblem::NotExecutable:
    return "not-executable";
  case StartProblem::PermissionDenied:
    return "permission-denied";
  case StartProblem::NoOpener:
    return "no-opener";
  case StartProblem::Other:
    break;
  }
  return "failed";
}

inline StartProblem problemOfCode(std::string_view code) {
  for (const auto problem :
       {StartProblem::None, StartProblem::ProgramNotFound, StartProblem::NotExecutable,
        StartProblem::PermissionDenied, StartProblem::NoOpener})
    if (code == problemCode(problem))
      return problem;
  return StartProblem::Other;
}

} // namespace lw
