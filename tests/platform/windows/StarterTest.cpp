// The built rwlaunch.exe in a program folder of its own, with a stand-in for the main program.
#include "Fakes.h"
#include "platform/windows/WindowsRegistry.h"
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

} // namespace
} // namespace lw
