#pragma once
// How Windows reads a command line: which program it starts and what it hands that program.
// Status asks for the program to tell whether it is there, the shell splits to start it; both
// must read a command the same way, so there is one reading.

#include <string>
#include <string_view>

namespace lw {

struct SplitCommand {
  std::string program;   // the file or name to start; empty for an empty command
  std::string arguments; // the rest of the line as typed, without the blanks before it
};

// As CreateProcess finds the program: the quoted text, or the shortest run of unquoted words
// that names an existing file (so that an unquoted path with blanks works; a run without an
// extension only as the run with ".exe", which is then the program's name), else the whole line
// when it names a program or a folder, else the first word. Environment variables are expanded
// first, as for REG_EXPAND_SZ data.
SplitCommand splitCommand(std::string_view command);

// The program part alone.
std::string programOfCommand(std::string_view command);

// Whether a program of that name or path is there to start: a path is looked at where it
// points, a bare name is searched as CreateProcess searches it, ".exe" added where it has no
// extension.
bool programExists(std::string_view program);

} // namespace lw
