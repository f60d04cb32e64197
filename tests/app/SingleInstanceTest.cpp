// The real program started twice at once in one temporary session: one process stays, and an
// entry due at start-up is started once; a start from the logon starter takes its marker back.
#include "ProgramSession.h"
#include "support/TextFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string fileText(const fs::path &path) {
  return fs::exists(path) ? textfile::readBytes(path.string()) : std::string();
}

TEST(SingleInstance, SecondStartEndsAndADueEntryStartsOnce) {
  ProgramSession session;
  const fs::path log = session.program.dir.path() / "log";
  session.program.writeFile("0013cst.ini", "Kestrumsoft Launchwright - Customized Entries\r\n" +
                                               std::string(46, '=') + "\r\n\r\nLog\r\n" +
                                               ProgramSession::appendRan(log) +
                                               "\r\n000000000000000x00200606290800\r\n=====");
  session.leaveCrashedInstance();

  // Two starts at the same moment: one ends, the other stays and starts the due entry.
  Process running = session.start();
  Process second = session.start();
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  std::optional<int> ended;
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    if ((ended = exitCode(running)))
      std::swap(running, second);
    else
      ended = exitCode(second);
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(ended, 0) << "no start ended cleanly";
  while (fileText(log).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  ASSERT_EQ(fileText(log), ProgramSession::ranLine) << "the due entry did not start";

  // From rwlaunch at logon: takes its marker back and ends.
  session.leaveLogonMarker();
  EXPECT_EQ(waitForExit(session.start(), 30s), 0);
  EXPECT_FALSE(session.logonMarkerLeft());

  std::this_thread::sleep_for(3s); // more than one timer period
  EXPECT_EQ(exitCode(running), std::nullopt) << "no instance is left running";
  EXPECT_EQ(fileText(log), ProgramSession::ranLine);
  askToEnd(running);
  EXPECT_NE(waitForExit(running, 10s), 127);
}

} // namespace
} // namespace lw::test
