#pragma once

#include "Applications.h"
#include "Clock.h"
#include "ImpactMeter.h"
#include "LogonSources.h"
#include "ProgramLocation.h"
#include "Prompter.h"
#include "Registry.h"
#include "Shell.h"
#include "StartupState.h"

#include <vector>

namespace lw {

// Everything the core needs from the operating system, made once in main and passed by
// reference. Tests build one from temporary directories and fakes.
struct Platform {
  Registry &registry;
  Shell &shell;
  Clock &clock;
  ProgramLocation &location;
  Prompter &prompter;
  FileChooser &fileChooser;
  StartupState &startup;
  // The other ways a program starts at logon; none where a caller does not ask them (the tests
  // of the Run keys, the timer).
  std::vector<LogonSource *> logonSources{};
  // The applications the desktop's menu offers, for an entry made from one; none where a caller
  // does not ask for them.
  Applications *applications = nullptr;
  // What each entry cost at logon; none where a caller does not measure.
  ImpactMeter *impactMeter = nullptr;
};

} // namespace lw
