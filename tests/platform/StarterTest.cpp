// The companion starter: its logic on fakes, and the built rwlaunch in a program directory.
#include "starter/Starter.h"
#include "PlatformTesting.h"
#include "platform/linux/RegistryStore.h"
#include "support/Toolbox.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

TEST(Starter, SetsTheLogonMarkerAndStartsTheProgramBesideIt) {
  FakeRegistry registry;
  RecordingShell shell;
  FixedLocation location("/opt/my tools/rwlaunch");
  EXPECT_TRUE(runStarter(registry, shell, location));
  EXPECT_EQ(registry.get(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"), "x");
  EXPECT_EQ(shell.opened, std::vector<std::string>{"/opt/my tools/launchwright"});

  // A failed start is the starter's failure, but the marker is already there.
  FakeRegistry second;
  shell.succeeds = false;
  EXPECT_FALSE(runStarter(second, shell, location));
  EXPECT_EQ(second.get(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"), "x");
}

TEST(Starter, BuiltStarterLeavesTheMarkerAndStartsTheProgram) {
  TempDir dir;
  const auto installed = dir.path() / "program folder";
  const auto home = dir.path() / "home";
  const auto config = dir.path() / "config";
  const auto marker = dir.path() / "started";
  fs::create_directories(installed);
  fs::create_directories(home);
  fs::copy_file(LW_BUILT_STARTER, installed / "rwlaunch");
  writeScript(installed / "launchwright", "pwd > '" + marker.string() + ".part'\nmv '" +
                                              marker.string() + ".part' '" + marker.string() +
                                              "'\n");

  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string starter = (installed / "rwlaunch").string();
    ::execl(starter.c_str(), starter.c_str(), static_cast<char *>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(waitForFile(marker), home.string() + "\n");
  const RegistryStore store((config / "launchwright" / "registry.ini").string());
  EXPECT_EQ(store.read(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"), "x");
}

} // namespace
} // namespace lw::test
