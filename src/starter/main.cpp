// rwlaunch: sets the logon marker and starts the program beside it.
#include "Starter.h"
#include "native/Native.h"

#include <cstdio>

int main() {
  const auto registry = lw::makeNativeRegistry();
  const auto location = lw::makeNativeLocation();
  std::string program;
  if (lw::runStarter(*registry, *location, lw::startProgramDirectly, program))
    return 0;
  std::fprintf(stderr, "rwlaunch: %s could not be started: it is missing or not a program.\n",
               program.c_str());
  return 1;
}
