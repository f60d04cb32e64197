// A timed start that fails: shown in the entry's Status, told once, never retried.
#include "AppFixture.h"

#include "support/TextNumbers.h"

#include <QLabel>

namespace lw::test {
namespace {

class FailedStartTest : public AppTest {
protected:
  std::string statusCell(int row) const { return dialog->cellText(row, 4); }
  std::string countsText() const {
    return dialog->findChild<QLabel *>(QStringLiteral("statusText"))->text().toStdString();
  }
  void tick(int hour, int minute) {
    program.clock.set(2026, 12, 7, hour, minute);
    dialog->dispatch(&MainDialog::OnTimer);
  }
};

TEST_F(FailedStartTest, AFailedTimedStartIsShownToldOnceAndNotRetried) {
  for (const bool inTray : {false, true}) {
    SCOPED_TRACE(inTray ? "hidden in the tray" : "window shown");
    tray.messages.clear();
    program.shell.started.clear();
    program.shell.succeeds = false;
    program.shell.problem = StartProblem::ProgramNotFound;
    program.writeFile("0013cst.ini", "Kestrumsoft Launchwright - Customized Entries\r\n" +
                                         std::string(46, '=') +
                                         "\r\n\r\nPoll\r\n/opt/gone/poll\r\n"
                                         "050030000000000x00202612070800\r\n=====");
    program.clock.set(2026, 12, 7, 9, 0);
    open();
    if (inTray)
      dialog->minimizeToTray();

    tick(9, 0); // reloads, then starts the due entry
    ASSERT_EQ(program.shell.started.size(), 1u);
    const std::string notice =
        "\"Poll\" could not be started on 2026-12-07 09:00: program not found";
    EXPECT_NE(statusCell(0).find("start failed on 2026-12-07 09:00: program not found"),
              std::string::npos)
        << statusCell(0);
    EXPECT_NE(statusCell(0).find("next start 2026-12-07 09:30"), std::string::npos)
        << statusCell(0);
    if (inTray) {
      ASSERT_EQ(tray.messages.size(), 1u);
      EXPECT_NE(tray.messages[0].find(notice), std::string::npos) << tray.messages[0];
      EXPECT_EQ(countsText().find(notice), std::string::npos);
    } else {
      EXPECT_TRUE(tray.messages.empty());
      EXPECT_NE(countsText().find(notice), std::string::npos) << countsText();
    }

    tick(9, 1);  // counted as started: not retried
    tick(9, 30); // due again, fails again, but the user was told already
    EXPECT_EQ(program.shell.started.size(), 2u);
    EXPECT_EQ(tray.messages.size(), inTray ? 1u : 0u);
    EXPECT_NE(statusCell(0).find("start failed on 2026-12-07 09:30"), std::string::npos)
        << statusCell(0);
    EXPECT_TRUE(told().empty()) << "the timer opened a message box";
  }
}

} // namespace
} // namespace lw::test
