// The built rwlaunch.exe in a program folder of its own, with a stand-in for the main program.
#include "Fakes.h"
#include "entries/StartupList.h"
#include "native/windows/WindowsRegistry.h"
#include "native/windows/WindowsStartupState.h"
#include "support/ProgramValues.h"
#include "support/Toolbox.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <windows.h>

namespace lw {
namespace {

namespace fs = std::filesystem;

// Runs a program and waits for it to end; its exit code, or -1 when it could not start.
long runAndWait(const fs::path &program) {
  std::string commandLine = "\"" + program.string() + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return -1;
  WaitForSingleObject(process.hProcess, 30000);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

TEST(BuiltStarter, LeavesTheMarkerAndStartsTheProgramBesideIt) {
  WindowsRegistry registry;
  registry.remove(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart");

  test::TempDir dir;
  const fs::path installed = dir.path() / "program folder";
  fs::create_directories(installed);
  fs::copy_file(LW_BUILT_STARTER, installed / "rwlaunch.exe");
  fs::copy_file(LW_STAND_IN_PROGRAM, installed / "launchwright.exe");

  EXPECT_EQ(runAndWait(installed / "rwlaunch.exe"), 0);
  EXPECT_EQ(registry.read(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"), "x");

  const fs::path marker = installed / "started";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::exists(marker) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(fs::exists(marker)) << "the program beside the starter did not run within 10 s";
  std::this_thread::sleep_for(std::chrono::milliseconds(300)); // let it end before cleanup

  registry.remove(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart");
}

// The starter's Run value in a folder with a blank is quoted, or Windows would first try to
// start "C:\Program.exe"; a value written before that is quoted once and then left alone, as is
// one that is right already, quoted or not, so that nothing the user did to it is undone.
TEST(StarterValue, IsQuotedWhereThePathHasABlankAndRewrittenOnlyForThat) {
  struct WindowsPaths : test::FixedLocation {
    using FixedLocation::FixedLocation;
    char separator() const override { return '\\'; }
  };
  const struct {
    std::string folder;
    std::optional<std::string> held;
    std::string after;
  } cases[] = {
      {"C:\\Program Files\\LW", std::nullopt, "\"C:\\Program Files\\LW\\rwlaunch.exe\""},
      {"C:\\Program Files\\LW", "C:\\Program Files\\LW\\rwlaunch.exe",
       "\"C:\\Program Files\\LW\\rwlaunch.exe\""},
      {"C:\\Program Files\\LW", "\"C:\\Program Files\\LW\\rwlaunch.exe\"",
       "\"C:\\Program Files\\LW\\rwlaunch.exe\""},
      {"C:\\LW", std::nullopt, "C:\\LW\\rwlaunch.exe"},
      {"C:\\LW", "\"C:\\LW\\rwlaunch.exe\"", "\"C:\\LW\\rwlaunch.exe\""},
      {"C:\\LW", "C:\\Old\\rwlaunch.exe", "C:\\LW\\rwlaunch.exe"},
  };
  for (const auto &item : cases) {
    test::FakeRegistry registry;
    test::RecordingShell shell;
    test::FixedClock clock;
    WindowsPaths location(item.folder + "\\launchwright.exe");
    test::ScriptedPrompter prompter;
    test::ScriptedFileChooser chooser;
    WindowsStartupState startup{registry};
    Platform platform{registry, shell, clock, location, prompter, chooser, startup};
    Toolbox toolbox(platform);
    if (item.held)
      registry.set(RegistryRoot::CurrentUser, WindowsStartupState::runKey, starterValueName,
                   *item.held);
    updateStarterValue(toolbox, true, "rwlaunch.exe");
    EXPECT_EQ(
        registry.get(RegistryRoot::CurrentUser, WindowsStartupState::runKey, starterValueName),
        item.after)
        << item.folder << " " << item.held.value_or("(none)");
    EXPECT_EQ(registry.writes, item.held == item.after ? 0 : 1) << item.held.value_or("(none)");
  }
}

} // namespace
} // namespace lw
