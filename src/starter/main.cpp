// rwlaunch: sets the logon marker and starts the program beside it. With --record it is the
// logon recorder instead: it measures what each entry costs in the session's first minute,
// small enough not to add to what it measures (no Qt, no window).
#include "Starter.h"
#include "entries/LogonRecorder.h"
#include "entries/StartupImpact.h"
#include "native/Native.h"
#include "support/FileError.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

// The recorder asks nobody anything.
class Silent : public lw::Prompter, public lw::FileChooser {
public:
  bool ask(const std::string &, const std::string &) override { return false; }
  void tell(const std::string &, const std::string &) override {}
  std::optional<std::string> chooseFile() override { return std::nullopt; }
};

// --record [--seconds N]
int record(int argc, char *argv[]) {
  long long seconds = lw::recordingSeconds;
  if (argc == 4 && std::strcmp(argv[2], "--seconds") == 0) {
    const char *end = argv[3] + std::strlen(argv[3]);
    if (const auto [at, error] = std::from_chars(argv[3], end, seconds);
        error != std::errc() || at != end || seconds < 0) {
      std::fprintf(stderr, "rwlaunch: --seconds takes a number of seconds\n");
      return 2;
    }
  } else if (argc != 2) {
    std::fprintf(stderr, "rwlaunch: use rwlaunch --record [--seconds N]\n");
    return 2;
  }
  const auto registry = lw::makeNativeRegistry();
  const auto shell = lw::makeNativeShell();
  const auto clock = lw::makeNativeClock();
  const auto location = lw::makeNativeLocation();
  const auto startup = lw::makeNativeStartupState();
  Silent silent;
  lw::Platform platform{*registry, *shell, *clock, *location, silent, silent, *startup};
  const auto sources = lw::makeNativeLogonSources();
  for (const auto &source : sources)
    platform.logonSources.push_back(source.get());
  const auto meter = lw::makeNativeImpactMeter();
  platform.impactMeter = meter.get();
  try {
    lw::LanguageTable texts(platform);
    texts.loadSection("[English]");
    const std::string self = location->executablePath();
    const std::string starterFile = self.substr(self.find_last_of(location->separator()) + 1);
    lw::recordLogon(platform, texts, starterFile, std::chrono::seconds(seconds), seconds == 0);
    return 0;
  } catch (const lw::FileError &error) {
    std::fprintf(stderr, "rwlaunch: %s\n", error.what());
    return 1;
  }
}

} // namespace

int main(int argc, char *argv[]) {
  if (argc > 1 && std::strcmp(argv[1], "--record") == 0)
    return record(argc, argv);
  const auto registry = lw::makeNativeRegistry();
  const auto location = lw::makeNativeLocation();
  std::string program;
  if (lw::runStarter(*registry, *location, lw::startProgramDirectly, program))
    return 0;
  std::fprintf(stderr, "rwlaunch: %s could not be started: it is missing or not a program.\n",
               program.c_str());
  return 1;
}
