// launchwright.com without a command, or with only Qt's options for the window, starts
// launchwright.exe beside it with those options and returns at once.
#include "Installation.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

TEST(ConsoleProgram, NoCommandStartsTheWindowProgramBesideIt) {
  const Installation lw;
  // A stand-in for the window that leaves a marker beside itself.
  fs::copy_file(LW_STAND_IN_PROGRAM, lw.program / "launchwright.exe",
                fs::copy_options::overwrite_existing);
  const fs::path marker = lw.program / "started";
  for (const auto &arguments :
       {std::vector<std::string>{}, std::vector<std::string>{"-style", "fusion"}}) {
    fs::remove(marker);
    const Outcome run = lw.run(arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    for (int wait = 0; !fs::exists(marker) && wait < 100; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(fs::exists(marker)) << arguments.size() << " arguments: no window was started";
  }
  // A missing window program is a failure the console hears about.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  fs::remove(lw.program / "launchwright.exe");
  const Outcome missing = lw.run({});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("launchwright.exe"), std::string::npos) << missing.err;
}

} // namespace
} // namespace lw::test
