#include "Starter.h"
#include "native/linux/LinuxShell.h"

#include <cstdlib>

namespace lw {

bool startProgramDirectly(const std::string &program) {
  // The program gets the session's home as working directory, like everything the desktop
  // starts; a path with a '/' is never looked up in PATH.
  const char *home = std::getenv("HOME");
  return program.find('/') != std::string::npos &&
         startDetached({program}, home && *home ? home : "/");
}

} // namespace lw
