#pragma once

namespace lw {

// launchwright with arguments: the command line, which never opens a window and needs no
// display. Returns the exit status.
int runCommandLine(int argc, char *argv[]);

// Whether every argument after the program's name is one of Qt's own options for the window
// (-platform offscreen, -style=fusion, -reverse, ...) with its value: the window then starts
// and QApplication takes them. True without arguments.
bool onlyWindowOptions(int argc, char *argv[]);

} // namespace lw
