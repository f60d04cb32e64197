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
  // The file manager showing the file: selected in its folder where the desktop can do that,
  // else the folder opened.
  virtual bool showInFolder(const std::string &file) {
    const auto slash = file.find_last_of('/');
    return slash != std::string::npos && open(slash == 0 ? "/" : file.substr(0, slash));
  }
  // The desktop's own properties of the file; false where it has none to show.
  virtual bool showProperties(const std::string &file) {
    (void)file;
    return false;
  }
  // The file a command starts, found as the system finds it; empty where it cannot be told.
  virtual std::string programFile(const std::string &command) const {
    (void)command;
    return {};
  }
  // Who published the program file, as its version information names the company; empty
  // where a system keeps no such information or the file has none.
  virtual std::string publisher(const std::string &file) const {
    (void)file;
    return {};
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
