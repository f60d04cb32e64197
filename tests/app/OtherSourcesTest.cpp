// The View menu's other ways a program starts at logon: asked only when chosen, shown after the
// list's own rows when the sources answer, remembered, and every command on them going to the
// source that listed them or saying why not.

#include "AppFixture.h"

#include "native/linux/BootJobs.h"
#include "native/linux/SessionScripts.h"
#include "native/linux/SystemdUserUnits.h"
#include "scheduler/ScheduleStatus.h"
#include "support/TextNumbers.h"

#include <QTest>

namespace lw::test {
namespace {

// The language file's texts the shipped sources show: their kind labels, count lines, and the
// Status cell of a unit the user enabled.
constexpr std::int32_t unitLabel = 803, scriptLabel = 804, bootLabel = 805;
constexpr std::int32_t unitCount = 809, scriptCount = 810, bootCount = 811;
constexpr std::int32_t userEnabledCell = 815;

LogonItem item(std::string name, const LogonReason &reason, LogonSwitch how,
               std::string file = {}) {
  LogonItem made;
  made.name = std::move(name);
  made.command = "/usr/bin/true";
  made.file = std::move(file);
  made.reason = &reason;
  made.switchBy = how;
  return made;
}

class OtherSourcesTest : public AppTest {
protected:
  OtherSourcesTest() {
    units.items = {item("sync.service", SystemdUserUnits::userEnabled, LogonSwitch::Enable),
                   item("pipewire.service", SystemdUserUnits::vendorEnabled, LogonSwitch::Mask)};
    units.items[1].systemComponent = true;
    scripts.items = {
        item(".xprofile", SessionScripts::xProfile, LogonSwitch::None, "/home/me/.xprofile")};
    boots.unavailable = "no crontab program";
    program.platform.logonSources = {&units, &scripts, &boots};
    setRun(RegistryRoot::CurrentUser, "Notes", "/usr/bin/notes");
  }

  void choose(const char *objectName) {
    const int shown = dialog->logonListingsShown();
    dialog->findChild<QAction *>(QString::fromLatin1(objectName))->trigger();
    QTRY_VERIFY(dialog->logonListingsShown() > shown);
  }
  std::vector<std::string> names() const {
    std::vector<std::string> shown;
    for (const auto &row : rows())
      shown.push_back(row[0]);
    return shown;
  }
  void select(const std::string &name) { selectRow(cell(name).row()); }

  FakeLogonSource units{&SystemdUserUnits::description};
  FakeLogonSource scripts{&SessionScripts::description};
  FakeLogonSource boots{&BootJobs::description};
};

TEST_F(OtherSourcesTest, ViewChoiceAddsTheOtherWaysToStartAndIsRemembered) {
  open();
  // By default the list is the window's own, and no source is asked.
  EXPECT_EQ(names(), std::vector<std::string>{"Notes"});
  EXPECT_EQ(units.listed, 0);
  EXPECT_EQ(dialog->status().find(text(unitCount)), std::string::npos);

  choose("otherSourcesAction");
  EXPECT_EQ(names(), (std::vector<std::string>{"Notes", "sync.service", ".xprofile"}));
  EXPECT_EQ(dialog->cellText(1, 1), text(unitLabel));
  EXPECT_EQ(dialog->cellText(2, 1), text(scriptLabel));
  // A source that cannot be asked has a dash for its count, and the choice is told why, once.
  EXPECT_NE(dialog->status().find(text(unitCount) + " 1\n" + text(scriptCount) + " 1\n" +
                                  text(bootCount) + " \xE2\x80\x93"),
            std::string::npos)
      << dialog->status();
  const std::vector<std::string> toldWhy{
      fillIn(text(text::logonSourceUnavailable), {text(bootLabel), "no crontab program"})};
  EXPECT_EQ(told(), toldWhy);

  // The operating system's own units come with the second choice.
  choose("systemComponentsAction");
  EXPECT_EQ(names(),
            (std::vector<std::string>{"Notes", "sync.service", "pipewire.service", ".xprofile"}));

  // The next run shows them again without being asked, and tells nothing in a box.
  open();
  QTRY_COMPARE(rowCount(), 4);
  EXPECT_EQ(told(), toldWhy);
}

TEST_F(OtherSourcesTest, CommandsGoToTheSourceOrSayWhyNot) {
  open();
  choose("otherSourcesAction");
  program.prompter.shown.clear();
  const std::string scriptKind = text(scriptLabel);
  const auto why = [&](std::int32_t number) { return fillIn(text(number), {scriptKind}); };

  select(".xprofile");
  dialog->dispatch(&MainDialog::OnDeleteSelectedEntry);
  dialog->dispatch(&MainDialog::OnDisableEntry);
  dialog->dispatch(&MainDialog::OnStartNow);
  EXPECT_EQ(told(),
            (std::vector<std::string>{why(text::logonNotDeletable), why(text::logonNotSwitchable),
                                      why(text::logonNotStartable)}));
  // Edit opens the file in the user's own editor; nothing is written.
  dialog->dispatch(&MainDialog::OnEditEntry);
  EXPECT_EQ(program.shell.opened, std::vector<std::string>{"/home/me/.xprofile"});
  EXPECT_EQ(scripts.switches.size(), 0u);

  select("sync.service");
  dialog->dispatch(&MainDialog::OnDisableEntry);
  EXPECT_EQ(units.switches, (std::vector<std::pair<std::string, bool>>{{"sync.service", false}}));
  QTRY_COMPARE(QString::fromStdString(dialog->cellText(cell("sync.service").row(), 4)),
               QString::fromUtf8(text(text::firstVerdictLabel + 1) + " \xE2\x80\x93 " +
                                 text(userEnabledCell)));
  // The window's own entry of the same kind of command is untouched.
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Notes"), "/usr/bin/notes");

  // Two session scripts may share a name: the selected one stays selected when the sources
  // answer again, and Edit opens its own file.
  {
    const std::lock_guard lock(scripts.guard);
    for (const char *file : {"/home/me/env/editor.sh", "/home/me/autostart-scripts/editor.sh"})
      scripts.items.push_back(
          item("editor.sh", SessionScripts::plasmaEnv, LogonSwitch::None, file));
  }
  const int shown = dialog->logonListingsShown();
  dialog->refreshList();
  QTRY_VERIFY(dialog->logonListingsShown() > shown);
  selectRow(rowCount() - 1);
  ASSERT_TRUE(dialog->selectedEntry());
  const int again = dialog->logonListingsShown();
  dialog->refreshSelecting(*dialog->selectedEntry()); // as when a file changes on disk
  QTRY_VERIFY(dialog->logonListingsShown() > again);
  program.shell.opened.clear();
  dialog->dispatch(&MainDialog::OnEditEntry);
  EXPECT_EQ(program.shell.opened, std::vector<std::string>{"/home/me/autostart-scripts/editor.sh"});
}

} // namespace
} // namespace lw::test
