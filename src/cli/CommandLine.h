#pragma once

namespace lw {

// launchwright with arguments: the command line, which never opens a window and needs no
// display. Returns the exit status.
int runCommandLine(int argc, char *argv[]);

} // namespace lw
