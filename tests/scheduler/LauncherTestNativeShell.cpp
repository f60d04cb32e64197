// The launcher with the desktop's real "open": a due entry's program runs.

#include "LauncherTestFixture.h"
#include "native/Native.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

TEST(LauncherWithNativeShell, DueEntryRunsItsProgramAndRecordsTheStart) {
  TestProgram program;
  TempDir home;
  ASSERT_EQ(::setenv("HOME", home.str().c_str(), 1), 0);
  const auto shell = makeNativeShell();
  Platform native{program.registry, *shell,          program.clock,  program.location,
                  program.prompter, program.chooser, program.startup};

  const fs::path jobs = home.path() / "my jobs";
  fs::create_directory(jobs);
  const fs::path script = jobs / "job.sh";
  const fs::path marker = jobs / "ran";
  textfile::writeAtomically(
      script.string(), "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$2.part\" && mv \"$2.part\" \"$2\"\n");
  fs::permissions(script, fs::perms::owner_all);

  const std::string command = "\"" + script.string() + "\" --switch \"" + marker.string() + "\"";
  program.writeFile(entriesFile, entriesFileBytes(blocksOf(
                                     {{"Job", command, "000000000000000x00200606290800"},
                                      {"Later", "later", "000000000000000x00200606300800"}})));
  Launcher launcher(native, {});
  launcher.reloadPending = true;
  launcher.tick();

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!fs::exists(marker) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(fs::exists(marker)) << "the script did not run";
  EXPECT_EQ(textfile::readBytes(marker.string()), "--switch\n" + marker.string() + "\n");

  const auto lines = textfile::readLines(program.file(entriesFile));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[5], "000000000000000x00200606300905");
  EXPECT_EQ(lines[9], "000000000000000x00200606300800");
}

} // namespace
} // namespace lw::test
