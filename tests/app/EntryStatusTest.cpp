// What the list says about whether each entry starts, and switching entries off and on from
// the menu, the keyboard and the list's own menu.

#include "AppFixture.h"

#include "entries/CustomizedTiming.h"
#include "entries/StartupStatus.h"
#include "scheduler/ScheduleStatus.h"
#include "support/TextNumbers.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace lw::test {
namespace {

using Set = std::set<std::pair<RegistryRoot, std::string>>;

class EntryStatusTest : public AppTest {
protected:
  // The Status cell's tooltip.
  std::string reasonOf(const std::string &name) const {
    return cell(name, 4).data(Qt::ToolTipRole).toString().toStdString();
  }
  // The verdict's text; a customized row adds its timings after a dash.
  std::string statusOf(const std::string &name) const {
    const QModelIndex status = cell(name, 4);
    const std::string shown =
        status.isValid() ? status.data().toString().toStdString() : "(absent)";
    return shown.substr(0, shown.find(" \xE2\x80\x93 "));
  }
  void select(const std::string &name) {
    if (const QModelIndex found = cell(name); found.isValid())
      dialog->entryList->setCurrentIndex(found);
  }
  std::optional<std::string> disabledValue(const std::string &name) const {
    return program.registry.get(RegistryRoot::CurrentUser, keys::disabledCustomized, name);
  }
  QLabel *counts() const { return dialog->findChild<QLabel *>("statusText"); }
};

TEST_F(EntryStatusTest, EveryVerdictShowsItsStatusAndItsReason) {
  struct Case {
    RegistryRoot root;
    std::string name;
    StartVerdict verdict;
    std::string detail;
    std::string reasonPart; // what the sentence must name
  };
  const std::vector<Case> cases = {
      {RegistryRoot::CurrentUser, "Plain", StartVerdict::Starts, "", "."},
      {RegistryRoot::CurrentUser, "Off", StartVerdict::Disabled, "Hidden=true", " (Hidden=true)."},
      {RegistryRoot::CurrentUser, "Screensaver", StartVerdict::OtherDesktop, "LXQt;KDE;",
       ": LXQt, KDE."},
      {RegistryRoot::LocalMachine, "Saver", StartVerdict::ProgramMissing, "xscreensaver",
       ": xscreensaver."},
      {RegistryRoot::LocalMachine, "Link", StartVerdict::NotAProgram, "Link", ": Link."},
      {RegistryRoot::LocalMachine, "Shadowed", StartVerdict::Replaced, "", "."},
      {RegistryRoot::LocalMachine, "Locked", StartVerdict::Unreadable, "Permission denied",
       ": Permission denied."}};
  for (const auto &c : cases) {
    setRun(c.root, c.name, "/usr/bin/" + c.name);
    program.startup.verdicts[{c.root, c.name}] = {c.verdict, c.detail};
  }
  writeCustomized(
      {{"Scheduled", "/usr/bin/true"}, {"Paused", "/usr/bin/true"}, {"Gone", "/opt/gone --now"}});
  program.registry.set(RegistryRoot::CurrentUser, keys::disabledCustomized, "Paused", "1");
  program.startup.missing["/opt/gone --now"] = "/opt/gone";
  open();

  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const auto verdict = static_cast<std::int32_t>(c.verdict);
    EXPECT_EQ(statusOf(c.name), text(text::firstVerdictLabel + verdict));
    const QModelIndex status = cell(c.name, 4);
    ASSERT_TRUE(status.isValid());
    EXPECT_EQ(reasonOf(c.name), text(text::firstVerdictReason + verdict) + c.reasonPart);
    EXPECT_EQ(status.data(Qt::AccessibleDescriptionRole), status.data(Qt::ToolTipRole));
    EXPECT_EQ(cell(c.name, 2).data().toString().toStdString(), "/usr/bin/" + c.name)
        << "the command is unchanged";
  }
  EXPECT_EQ(statusOf("Scheduled"), text(612));
  EXPECT_TRUE(reasonOf("Scheduled").starts_with(text(text::customizedStartsReason) + ". "));
  EXPECT_EQ(statusOf("Paused"), text(613));
  EXPECT_EQ(reasonOf("Paused"), text(text::customizedDisabledReason) + ".");
  EXPECT_EQ(statusOf("Gone"), text(615));
  EXPECT_TRUE(reasonOf("Gone").starts_with(text(623) + ": /opt/gone. "));

  // Eight of ten rows will not start; the screen reader hears the counts, not a fixed name.
  const std::string expectedCounts = text(145) + " 3\n" + text(150) + " 3\n" + text(155) +
                                     " 4\n\n" + text(160) + " 10\n" + text(611) + " 8";
  EXPECT_EQ(dialog->status(), expectedCounts);
  EXPECT_EQ(counts()->text().toStdString(), expectedCounts);
  const std::string spoken = counts()->accessibleName().toStdString();
  EXPECT_NE(spoken.find(text(611) + " 8"), std::string::npos) << spoken;
  EXPECT_NE(spoken.find(text(160) + " 10"), std::string::npos) << spoken;
  EXPECT_EQ(dialog->entryList->model()->headerData(4, Qt::Horizontal).toString().toStdString(),
            text(text::statusColumn));
}

TEST_F(EntryStatusTest, SwitchesThatCannotBeReadAreShownSoAndToldOnce) {
  writeCustomized({{"Paused", "/usr/bin/true"}});
  program.registry.set(RegistryRoot::CurrentUser, keys::disabledCustomized, "Paused", "1");
  const FileError unreadable("/cfg/launchwright/registry.ini", "Permission denied");
  program.registry.unreadable = unreadable;
  open();
  EXPECT_EQ(statusOf("Paused"), text(text::firstVerdictLabel + 6));
  EXPECT_TRUE(reasonOf("Paused").starts_with(text(text::customizedSwitchUnreadable) + ": " +
                                             unreadable.what() + "."))
      << reasonOf("Paused");
  ASSERT_EQ(program.prompter.shown.size(), 1u);
  EXPECT_NE(program.prompter.shown[0].text.find(unreadable.path()), std::string::npos);
  dialog->refreshList();
  EXPECT_EQ(program.prompter.shown.size(), 1u) << "told again";

  program.registry.unreadable.reset();
  dialog->refreshList();
  EXPECT_EQ(statusOf("Paused"), text(text::firstVerdictLabel + 1));
  program.registry.unreadable = unreadable;
  dialog->refreshList();
  EXPECT_EQ(program.prompter.shown.size(), 2u) << "a new failure is told anew";
}

TEST_F(EntryStatusTest, AScheduleThatCanNeverComeDueIsNeverDueUnlessSwitchedOffOrMissing) {
  struct Case {
    std::string name;
    std::string line;
    StartVerdict verdict;
    std::int32_t never; // the timing's reason, 0 when the rule can come due
  };
  // The clock stands on Friday 2006-06-30 09:05.
  const std::vector<Case> cases = {
      {"Unknown rule", "110000000000000x00200606301000", StartVerdict::NeverDue,
       text::neverUnknownRule},
      {"No weekday", "090000000000000x00200606301000", StartVerdict::NeverDue,
       text::neverNoWeekday},
      {"Weekday 8", "090000000000000800200606301000", StartVerdict::NeverDue, text::neverNoWeekday},
      {"Day 00", "100000000000000x00200606301000", StartVerdict::NeverDue, text::neverNoSuchDay},
      {"Day 32", "100000000000000x32200606301000", StartVerdict::NeverDue, text::neverNoSuchDay},
      {"Sundays", "090000000000000100200606301000", StartVerdict::Starts, 0},
      {"Switched off", "090000000000000x00200606301000", StartVerdict::Disabled, 0},
      {"Gone", "090000000000000x00200606301000", StartVerdict::ProgramMissing,
       text::neverNoWeekday}};
  std::string file =
      "Kestrumsoft Launchwright - Customized Entries\r\n" + std::string(46, '=') + "\r\n\r\n";
  for (const auto &c : cases)
    file += c.name + "\r\n/usr/bin/" + (c.name == "Gone" ? "gone" : "true") + "\r\n" + c.line +
            "\r\n=====\r\n";
  program.writeFile("0013cst.ini", file);
  program.registry.set(RegistryRoot::CurrentUser, keys::disabledCustomized, "Switched off", "1");
  program.startup.missing["/usr/bin/gone"] = "/usr/bin/gone";
  LanguageTable texts(program.platform);
  texts.load();
  Toolbox toolbox(program.platform);
  StartupListing listing = readStartupList(program.platform, toolbox, texts);
  describeTimings(listing.rows, program.clock.now(), {}, {}, texts);
  const std::string neverStarts = fillIn(text(text::neverStarts), {""});

  ASSERT_EQ(listing.rows.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case &c = cases[i];
    const StartupEntry &row = listing.rows[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(row.verdict, c.verdict);
    const EntryStatus status = entryStatus(row, texts);
    const std::string label = text(text::firstVerdictLabel + static_cast<std::int32_t>(c.verdict));
    if (c.never) {
      // The cell says it once: the label, then the timing's "never starts" and why.
      EXPECT_EQ(status.text,
                label + " \xE2\x80\x93 " + fillIn(text(text::neverStarts), {text(c.never)}));
    } else {
      EXPECT_EQ(status.text.find(neverStarts), std::string::npos) << status.text;
    }
    if (c.verdict == StartVerdict::NeverDue) {
      EXPECT_EQ(status.reason, text(text::neverDueReason) + ". " + row.timing);
    }
  }
  EXPECT_EQ(listing.notStarting, 7u);
  EXPECT_TRUE(listing.statusText.ends_with(text(text::notStartingCount) + " 7"))
      << listing.statusText;
}

TEST_F(EntryStatusTest, EveryKindSwitchesOffAndOnFromMenuKeyboardAndListMenu) {
  writeCustomized({{"Backup", "/usr/bin/backup"}});
  setRun(RegistryRoot::CurrentUser, "Chat", "/usr/bin/chat");
  setRun(RegistryRoot::LocalMachine, "Agent", "/usr/bin/agent");
  open();
  // The window must be active for its shortcuts.
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));

  enum class Route { Menu, Keyboard, ListMenu };
  // Whether the entry is switched off, where each kind keeps that.
  const auto isOff = [&](const std::string &name) {
    if (name == "Backup")
      return disabledValue(name).has_value();
    const RegistryRoot root =
        name == "Chat" ? RegistryRoot::CurrentUser : RegistryRoot::LocalMachine;
    return program.startup.disabled.count({root, name}) == 1;
  };
  for (const std::string name : {"Backup", "Chat", "Agent"}) {
    for (const Route route : {Route::Menu, Route::Keyboard, Route::ListMenu}) {
      SCOPED_TRACE(name + " by route " + std::to_string(static_cast<int>(route)));
      for (const bool enable : {false, true}) {
        select(name);
        const char *id = enable ? "enableEntryAction" : "disableEntryAction";
        dialog->launcher.reloadPending = false;
        switch (route) {
        case Route::Menu:
          action(menu("fileMenu"), id)->trigger();
          break;
        case Route::Keyboard:
          QTest::keyClick(dialog->entryList, enable ? Qt::Key_E : Qt::Key_D, Qt::ControlModifier);
          break;
        case Route::ListMenu:
          if (QAction *item = listMenuItem(id))
            item->trigger();
          else
            ADD_FAILURE() << "the list's menu does not offer the switch";
          break;
        }
        EXPECT_EQ(isOff(name), !enable);
        EXPECT_EQ(statusOf(name), text(enable ? 612 : 613));
        ASSERT_TRUE(dialog->selectedEntry()) << "the switched row stays selected";
        EXPECT_EQ(dialog->selectedEntry()->name, name);
        EXPECT_EQ(dialog->reloadPending(), name == "Backup")
            << "only customized entries concern the timer";
      }
    }
  }
  EXPECT_TRUE(program.prompter.shown.empty()) << program.prompter.shown.front().text;

  // The machine's 32-bit key may hold a name of its other key: the switch goes to the selected
  // row's own key, and that row stays selected.
  setRun(RegistryRoot::LocalMachine32, "Agent", "/usr/bin/agent32");
  dialog->refreshList();
  for (int row = 0; row < rowCount(); ++row)
    if (dialog->cellText(row, 2) == "/usr/bin/agent32")
      selectRow(row);
  ASSERT_TRUE(dialog->selectedEntry() && dialog->selectedEntry()->view32);
  action(menu("fileMenu"), "disableEntryAction")->trigger();
  EXPECT_EQ(program.startup.disabled, (std::set<std::pair<RegistryRoot, std::string>>{
                                          {RegistryRoot::LocalMachine32, "Agent"}}));
  ASSERT_TRUE(dialog->selectedEntry());
  EXPECT_TRUE(dialog->selectedEntry()->view32) << "the 32-bit row stays selected";

  // The list's menu edits, deletes and starts too.
  select("Chat");
  EXPECT_NE(listMenuItem("editEntryAction"), nullptr);
  EXPECT_NE(listMenuItem("deleteEntryAction"), nullptr);
  EXPECT_NE(listMenuItem("startNowAction"), nullptr);
}

TEST_F(EntryStatusTest, TitlesSortTheListFilterLineNarrowsItIconsTellStatusesApart) {
  writeCustomized({{"Backup", "/usr/bin/zbackup"}});
  setRun(RegistryRoot::CurrentUser, "chat", "/usr/bin/chat");
  setRun(RegistryRoot::LocalMachine, "Agent", "/usr/bin/magent");
  open();
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  using Names = std::vector<std::string>;
  // The rows in view order, without the starter's own entry, which the first refresh adds.
  const auto names = [this](bool onlyVisible = false) {
    Names shown;
    for (int row = 0; row < rowCount(); ++row)
      if (dialog->cellText(row, 0) != "Launchwright" &&
          !(onlyVisible && dialog->entryList->isRowHidden(row, {})))
        shown.push_back(dialog->cellText(row, 0));
    return shown;
  };
  const auto visible = [&names] { return names(true); };
  const Names readOrder = names();
  QHeaderView *header = dialog->entryList->header();
  const auto click = [header](int column) {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
  };
  select("chat");
  click(0); // letters before capitals would put "chat" last
  EXPECT_EQ(names(), (Names{"Agent", "Backup", "chat"}));
  click(0);
  EXPECT_EQ(names(), (Names{"chat", "Backup", "Agent"}));
  click(0);
  EXPECT_EQ(names(), readOrder) << "the third click gives back the list's own order";
  ASSERT_TRUE(dialog->selectedEntry());
  EXPECT_EQ(dialog->selectedEntry()->name, "chat") << "the selection follows its row";
  click(2);
  dialog->refreshList();
  EXPECT_EQ(names(), (Names{"chat", "Agent", "Backup"})) << "a refresh keeps the order";

  QTest::keyClick(dialog->entryList, Qt::Key_F, Qt::ControlModifier);
  auto *filter = dialog->findChild<QLineEdit *>("filterLine");
  ASSERT_TRUE(filter->isVisible() && filter->hasFocus());
  EXPECT_FALSE(filter->accessibleName().isEmpty());
  for (const auto &[typed, expected] : std::vector<std::pair<const char *, Names>>{
           {"CHA", {"chat"}}, {"magent", {"Agent"}}, {"bin/", {"chat", "Agent", "Backup"}}}) {
    filter->clear();
    QTest::keyClicks(filter, typed);
    EXPECT_EQ(visible(), expected) << typed;
  }
  filter->setText("cha");
  dialog->refreshList();
  EXPECT_EQ(visible(), Names{"chat"}) << "a refresh keeps the filter";
  QTest::keyClick(filter, Qt::Key_Return);
  QTest::keyClick(filter, Qt::Key_Escape);
  EXPECT_TRUE(dialog->isVisible()) << "Enter and Escape in the line do not end the window";
  EXPECT_FALSE(filter->isVisible());
  EXPECT_EQ(visible(), names());

  select("Agent");
  action(menu("fileMenu"), "disableEntryAction")->trigger();
  const auto icon = [this](const char *name) {
    return cell(name, 4).data(Qt::DecorationRole).value<QIcon>();
  };
  EXPECT_FALSE(icon("chat").isNull());
  EXPECT_EQ(icon("chat").cacheKey(), icon("Backup").cacheKey());
  EXPECT_NE(icon("chat").cacheKey(), icon("Agent").cacheKey()) << "switched off looks different";
}

TEST_F(EntryStatusTest, SwitchingWithoutSelectionOrRightsIsToldAndChangesNothing) {
  setRun(RegistryRoot::LocalMachine, "Agent", "/usr/bin/agent");
  open();
  action(menu("fileMenu"), "disableEntryAction")->trigger();
  program.startup.switchFails = true;
  select("Agent");
  action(menu("fileMenu"), "disableEntryAction")->trigger();
  EXPECT_EQ(told(), (std::vector<std::string>{text(632), text(633)}));
  EXPECT_EQ(statusOf("Agent"), text(612));
}

TEST_F(EntryStatusTest, DeletingASwitchedOffCustomizedEntryRecordsItAndForgetsTheSwitch) {
  writeCustomized({{"Backup", "/usr/bin/backup"}});
  open();
  select("Backup");
  action(menu("fileMenu"), "disableEntryAction")->trigger();
  ASSERT_TRUE(disabledValue("Backup"));

  select("Backup"); // the refresh forgot the selection
  program.prompter.answer(true);
  dialog->deleteButton->click();
  EXPECT_FALSE(disabledValue("Backup")) << "a later entry of that name would start switched off";
  const std::string backup = program.readFile("0013bkp.ini");
  EXPECT_NE(backup.find("Backup\r\n/usr/bin/backup\r\n2\r\n"), std::string::npos) << backup;
  EXPECT_EQ(statusOf("Backup"), "(absent)");
}

TEST_F(EntryStatusTest, RefreshKeepsTheStartersSwitchAndRewritesOnlyAChangedCommand) {
  writeCustomized({{"Backup", "/usr/bin/backup"}});
  const std::string starter = program.file(LW_STARTER_FILE);
  setRun(RegistryRoot::CurrentUser, "Launchwright", starter);
  program.startup.disabled.insert({RegistryRoot::CurrentUser, "Launchwright"});
  open();
  program.startup.writes = 0;
  dialog->refreshList();
  EXPECT_EQ(program.startup.writes, 0) << "an entry that is right is not written again";
  EXPECT_EQ(statusOf("Launchwright"), text(613));

  setRun(RegistryRoot::CurrentUser, "Launchwright", "/old/place/rwlaunch");
  dialog->refreshList();
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Launchwright"), starter);
  EXPECT_EQ(program.startup.writes, 1);
}

TEST_F(EntryStatusTest, StarterInAFolderSomeDesktopCannotStartFromSaysWhy) {
  writeCustomized({{"Backup", "/usr/bin/backup"}});
  const std::string starter = program.file(LW_STARTER_FILE);
  setRun(RegistryRoot::CurrentUser, "Launchwright", starter);
  program.startup.unstartable[starter] = "'\t";
  program.startup.disabled.insert({RegistryRoot::CurrentUser, "Launchwright"});
  open();
  EXPECT_EQ(statusOf("Launchwright"), text(613)) << "the user's switch says all";
  program.startup.disabled.clear();
  dialog->refreshList();
  EXPECT_EQ(statusOf("Launchwright"), text(615));
  EXPECT_EQ(reasonOf("Launchwright"), text(text::starterPathRefused) + ": ' U+0009.");
}

} // namespace
} // namespace lw::test
