// rwlaunch: sets the logon marker and starts the program beside it.
#include "Starter.h"
#include "platform/Native.h"

int main() {
  const auto registry = lw::makeNativeRegistry();
  const auto shell = lw::makeNativeShell();
  const auto location = lw::makeNativeLocation();
  return lw::runStarter(*registry, *shell, *location) ? 0 : 1;
}
