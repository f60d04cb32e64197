// Start Now: any entry started at once as its own start would, a failure told with its reason.
#include "AppFixture.h"

#include "support/TextNumbers.h"

#include <QTest>

namespace lw::test {
namespace {

class StartNowTest : public AppTest {
protected:
  void select(int row) {
    dialog->entryList->clearSelection();
    selectRow(row);
  }
  std::string scheduleLineOf(const std::string &name) {
    const std::string bytes = program.readFile("0013cst.ini");
    const auto at = bytes.find(name + "\r\n");
    const auto line = bytes.find("\r\n", at + name.size() + 2) + 2;
    return bytes.substr(line, bytes.find("\r\n", line) - line);
  }
};

TEST_F(StartNowTest, StartsEveryKindAsItsOwnStartWouldAndRecordsACustomizedStart) {
  writeCustomized({{"Backup", "backup --all"}, {"Notes", "notes"}});
  setRun(RegistryRoot::CurrentUser, "Editor", "editor --new");
  setRun(RegistryRoot::LocalMachine, "Agent", "/usr/bin/agent");
  program.clock.set(2026, 12, 7, 14, 5);
  open();
  // Keys reach the menu's shortcut only in the active window.
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  const std::string untouched = scheduleLineOf("Notes");

  const struct {
    int row;
    std::string command;
    StartStyle style;
  } cases[] = {
      {2, "editor --new", StartStyle::Exec}, // as the desktop runs its command at logon
      {3, "/usr/bin/agent", StartStyle::Exec},
      {0, "backup --all", StartStyle::Open}, // through the shell's open, like the timer
  };
  for (const auto &c : cases) {
    select(c.row);
    QTest::keyClick(dialog->entryList, Qt::Key_R, Qt::ControlModifier);
    ASSERT_FALSE(program.shell.started.empty()) << c.command;
    EXPECT_EQ(program.shell.started.back().command, c.command);
    EXPECT_EQ(program.shell.started.back().style, c.style);
  }
  EXPECT_EQ(program.shell.started.size(), 3u);
  EXPECT_EQ(scheduleLineOf("Backup"), "090000000000000100202612071405");
  EXPECT_EQ(scheduleLineOf("Notes"), untouched);
  EXPECT_TRUE(dialog->reloadPending());
  EXPECT_TRUE(told().empty());

  dialog->entryList->clearSelection();
  dialog->refreshList(); // forgets the selection
  action(menu("fileMenu"), "startNowAction")->trigger();
  EXPECT_EQ(told(), std::vector<std::string>{text(text::noSelectionToStart)});
  EXPECT_EQ(program.shell.started.size(), 3u);
}

TEST_F(StartNowTest, AProgramThatCannotStartIsToldWithTheReason) {
  writeCustomized({{"Gone", "/opt/gone/program"}});
  setRun(RegistryRoot::CurrentUser, "Locked", "/srv/locked");
  program.clock.set(2026, 12, 7, 9, 30);
  open();
  program.shell.succeeds = false;
  const struct {
    int row;
    StartProblem problem;
    std::string name;
    std::int32_t reason;
  } cases[] = {{1, StartProblem::PermissionDenied, "Locked", text::problemPermission},
               {1, StartProblem::NotExecutable, "Locked", text::problemNotExecutable},
               {0, StartProblem::ProgramNotFound, "Gone", text::problemNotFound}};
  for (const auto &c : cases) {
    program.shell.problem = c.problem;
    select(c.row);
    action(menu("fileMenu"), "startNowAction")->trigger();
    ASSERT_FALSE(told().empty());
    const std::string message = told().back();
    EXPECT_NE(message.find('"' + c.name + '"'), std::string::npos) << message;
    EXPECT_NE(message.find(text(c.reason)), std::string::npos) << message;
  }
  EXPECT_EQ(told().size(), 3u);
  // A failed start counts as a start, exactly as the timer's does.
  EXPECT_EQ(scheduleLineOf("Gone"), "090000000000000100202612070930");
}

} // namespace
} // namespace lw::test
