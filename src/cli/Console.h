#pragma once
// Where the command line meets the system's console: its arguments as UTF-8 bytes, and output
// that a person at a console reads as text while a pipe or a file gets the UTF-8 bytes
// themselves. One implementation per system, chosen by the build.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace lw::console {

// The program's arguments, argv[0] included, as UTF-8 bytes. POSIX hands them over as they
// are; Windows has them as UTF-16 and gives main() only their lossy ANSI translation.
std::vector<std::string> utf8Arguments(int argc, char *argv[]);

// Writes everything; false when the stream is gone or full (errno says why).
bool writeAll(std::FILE *stream, const std::string &text);

// Whether a person reads this stream at a terminal (a console on Windows: not the NUL device,
// which the C library also counts as a character device).
bool isTerminal(std::FILE *stream);

// COLUMNS as a shell sets it, else 80: the width where the terminal does not tell its own.
inline int columnsOfEnvironment() {
  const char *value = std::getenv("COLUMNS");
  char *end = nullptr;
  const long columns = value != nullptr ? std::strtol(value, &end, 10) : 0;
  return columns > 0 && columns < 100000 && end != value && *end == '\0' ? static_cast<int>(columns)
                                                                         : 80;
}

// How many columns the terminal of this stream has: the window's own width where the system
// tells it, else COLUMNS, else 80.
int terminalColumns(std::FILE *stream);

// Whether the terminal shows UTF-8, so that an ellipsis can be one character "…" rather than
// "...": a console on Windows always does, a POSIX terminal when its locale's character set is.
bool showsUtf8();

} // namespace lw::console
