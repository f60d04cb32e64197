// The companion starter: its logic on fakes, and the built rwlaunch in a program directory.
#include "starter/Starter.h"
#include "PlatformTesting.h"
#include "native/linux/RegistryStore.h"
#include "support/ProgramValues.h"
#include "support/Toolbox.h"

#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

TEST(Starter, MarkerStaysOnlyWhenTheProgramBesideItStarted) {
  for (const bool starts : {true, false}) {
    FakeRegistry registry;
    FixedLocation location("/opt/my tools/rwlaunch");
    std::vector<std::string> started;
    std::optional<std::string> markerAtStart;
    const ProgramStart start = [&](const std::string &program) {
      started.push_back(program);
      markerAtStart = registry.get(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart");
      return starts;
    };
    std::string program;
    EXPECT_EQ(runStarter(registry, location, start, program), starts);
    EXPECT_EQ(program, "/opt/my tools/launchwright");
    EXPECT_EQ(started, std::vector<std::string>{program});
    EXPECT_EQ(markerAtStart, "x");
    EXPECT_EQ(registry.get(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"),
              starts ? std::optional<std::string>("x") : std::nullopt);
    // When it was set, so that a marker left by a program that ended at once can be told.
    const auto setAt =
        registry.get(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart set");
    EXPECT_EQ(setAt.has_value(), starts);
    if (setAt) {
      EXPECT_LE(std::abs(std::stoll(*setAt) - logonmarker::now()), 5);
    }
  }
}

struct StarterRun {
  int exitCode = -1;
  std::string output; // standard output and error together
  bool outputEnded = false;
};

// Runs rwlaunch with its output captured as "$(rwlaunch 2>&1)" would, and reads until the
// capture ends or the time is up.
StarterRun runStarterCaptured(const fs::path &starter, const fs::path &home,
                              const fs::path &config) {
  int pipe[2];
  EXPECT_EQ(::pipe(pipe), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipe[1], STDOUT_FILENO);
    ::dup2(pipe[1], STDERR_FILENO);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ::execl(starter.c_str(), starter.c_str(), static_cast<char *>(nullptr));
    ::_exit(127);
  }
  ::close(pipe[1]);
  StarterRun run;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd readable{pipe[0], POLLIN, 0};
    if (::poll(&readable, 1, 100) <= 0)
      continue;
    char buffer[256];
    const ssize_t got = ::read(pipe[0], buffer, sizeof buffer);
    if (got <= 0) {
      run.outputEnded = got == 0;
      break;
    }
    run.output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipe[0]);
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(Starter, BuiltStarterStartsOnlyARealProgramAndNeverHoldsItsCaller) {
  TempDir dir;
  const auto home = dir.path() / "home";
  const auto config = dir.path() / "config";
  const auto started = dir.path() / "started";
  fs::create_directories(home);
  // The stand-in stays running longer than the test waits; it would hold the capture open if
  // it kept the starter's output.
  const auto pidFile = dir.path() / "pid";
  const std::string standIn = "echo $$ > '" + pidFile.string() + "'\npwd > '" + started.string() +
                              ".part'\nmv '" + started.string() + ".part' '" + started.string() +
                              "'\nexec sleep 30\n";
  const struct {
    const char *name;
    std::function<void(const fs::path &)> make;
    bool starts;
  } cases[] = {
      {"missing", [](const fs::path &) {}, false},
      {"not executable", [&](const fs::path &p) { writeFile(p, "#!/bin/sh\n" + standIn); }, false},
      {"a directory", [](const fs::path &p) { fs::create_directories(p); }, false},
      {"a program", [&](const fs::path &p) { writeScript(p, standIn); }, true},
  };
  for (const auto &c : cases) {
    const auto installed = dir.path() / c.name;
    fs::create_directories(installed);
    fs::copy_file(LW_BUILT_STARTER, installed / "rwlaunch");
    c.make(installed / "launchwright");

    const StarterRun run = runStarterCaptured(installed / "rwlaunch", home, config);
    EXPECT_TRUE(run.outputEnded) << c.name;
    EXPECT_EQ(run.exitCode, c.starts ? 0 : 1) << c.name;
    EXPECT_EQ(run.output.empty(), c.starts) << c.name << ": " << run.output;
    RegistryStore store((config / "launchwright" / "registry.ini").string());
    EXPECT_EQ(store.read(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"),
              c.starts ? std::optional<std::string>("x") : std::nullopt)
        << c.name;
    if (c.starts) {
      EXPECT_EQ(waitForFile(started), home.string() + "\n");
    }
    std::error_code ignored;
    fs::remove(config / "launchwright" / "registry.ini", ignored);
  }
  if (const auto pid = readFile(pidFile))
    ::kill(std::stoi(*pid), SIGTERM);
}

} // namespace
} // namespace lw::test
