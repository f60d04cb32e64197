// launchwright built without the window (BUILD_GUI=OFF): the command line alone, on Qt Core.
#include "CommandLine.h"
#include "Console.h"

int main(int argc, char *argv[]) {
  // Without a command, or with only Qt's options for the window, the window was asked for. It is
  // refused as a command line refuses a request (status 2, nothing written), not started.
  if (!lw::onlyWindowOptions(argc, argv))
    return lw::runCommandLine(argc, argv);
  lw::console::writeAll(stderr, "launchwright: this build has no window (it was built without "
                                "its Qt Widgets front end); see --help for its commands\n");
  return 2;
}
