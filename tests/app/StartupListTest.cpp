#include "AppFixture.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPixmap>

#include <filesystem>

namespace lw::test {
namespace {

constexpr const char *starter = "Launchwright";

class StartupListTest : public AppTest {
protected:
  std::string statusLabel() const {
    return dialog->findChild<QLabel *>("statusText")->text().toStdString();
  }
};

TEST_F(StartupListTest, ListShowsCustomizedThenUserThenMachineEntriesWithTheirCounts) {
  writeCustomized({{"Notes", "/usr/bin/notes --quiet"}, {"Mail", "/usr/bin/mail"}});
  for (const char *name : {"Clock", "Panel", "Sync"})
    setRun(RegistryRoot::CurrentUser, name, std::string("/usr/bin/") + name);
  for (int i = 1; i <= 5; ++i)
    setRun(RegistryRoot::LocalMachine, "Agent" + std::to_string(i), "agent " + std::to_string(i));
  open();

  const auto shown = rows();
  ASSERT_EQ(shown.size(), 10u);
  EXPECT_EQ(shown[0], (Row{"Notes", "Customized", "/usr/bin/notes --quiet"}));
  EXPECT_EQ(shown[1], (Row{"Mail", "Customized", "/usr/bin/mail"}));
  EXPECT_EQ(shown[2], (Row{"Clock", "Current User", "/usr/bin/Clock"}));
  EXPECT_EQ(shown[3], (Row{"Panel", "Current User", "/usr/bin/Panel"}));
  EXPECT_EQ(shown[4], (Row{"Sync", "Current User", "/usr/bin/Sync"}));
  EXPECT_EQ(shown[5], (Row{"Agent1", "All Users", "agent 1"}));
  EXPECT_EQ(shown[9], (Row{"Agent5", "All Users", "agent 5"}));
  const std::string status = "Customized: 2\nCurrent User: 3\nAll Users: 5\n\nTotal: 10";
  EXPECT_EQ(dialog->status(), status);
  EXPECT_EQ(statusLabel(), status);
  EXPECT_EQ(dialog->selectionMark(), -1);
}

// No icon is looked up before the list is drawn; afterwards every row has one: the icon of the
// application that starts the same program, else a neutral one.
TEST_F(StartupListTest, RowsGetTheirIconsOnceTheListIsDrawn) {
  QPixmap red(16, 16);
  red.fill(Qt::red);
  ASSERT_TRUE(red.save(QString::fromStdString(program.file("viewer.png"))));
  FakeApplications applications;
  applications.offered = {
      {"viewer", "Viewer", "", "/usr/bin/viewer --all", program.file("viewer.png")}};
  program.platform.applications = &applications;
  setRun(RegistryRoot::CurrentUser, "Pictures", "/usr/bin/viewer");
  setRun(RegistryRoot::CurrentUser, "Other", "/usr/bin/lw-unknown");
  open();
  EXPECT_TRUE(dialog->listModel->iconsPending());
  for (int turn = 0; turn < 100 && dialog->listModel->iconsPending(); ++turn)
    QCoreApplication::processEvents();
  ASSERT_FALSE(dialog->listModel->iconsPending());

  const auto iconOf = [this](const char *name) {
    return qvariant_cast<QIcon>(dialog->entryList->model()->data(cell(name), Qt::DecorationRole));
  };
  const auto middle = [](const QIcon &icon) { return icon.pixmap(16).toImage().pixelColor(8, 8); };
  EXPECT_EQ(middle(iconOf("Pictures")), QColor(Qt::red));
  ASSERT_FALSE(iconOf("Other").isNull());
  EXPECT_NE(middle(iconOf("Other")), QColor(Qt::red));
  const QImage neutral = iconOf("Other").pixmap(16).toImage();
  bool drawn = false;
  for (int y = 0; y < neutral.height(); ++y)
    for (int x = 0; x < neutral.width(); ++x)
      drawn = drawn || neutral.pixelColor(x, y).alpha() != 0;
  EXPECT_TRUE(drawn) << "a neutral icon, not the empty placeholder";
}

TEST_F(StartupListTest, RefreshingTwiceShowsTheSameList) {
  writeCustomized({{"Notes", "/usr/bin/notes"}});
  setRun(RegistryRoot::CurrentUser, "Clock", "/usr/bin/clock");
  setRun(RegistryRoot::LocalMachine, "Agent", "/usr/bin/agent");
  open();
  dialog->refreshList(); // the starter entered by the first refresh is listed from here on
  const auto first = rows();
  const auto status = dialog->status();
  dialog->refreshList();

  EXPECT_EQ(rows(), first);
  EXPECT_EQ(dialog->status(), status);
  EXPECT_EQ(status, "Customized: 1\nCurrent User: 2\nAll Users: 1\n\nTotal: 4");
}

TEST_F(StartupListTest, WithoutCustomizedEntriesTheTimerStopsAndTheStarterGoes) {
  for (const char *name : {"Clock", "Panel", "Sync"})
    setRun(RegistryRoot::CurrentUser, name, "x");
  open();

  EXPECT_EQ(rows().size(), 3u);
  EXPECT_EQ(dialog->status(), "Customized: 0\nCurrent User: 3\nAll Users: 0\n\nTotal: 3");
  EXPECT_FALSE(dialog->timerRunning());
  EXPECT_FALSE(runValue(RegistryRoot::CurrentUser, starter));
}

TEST_F(StartupListTest, StarterFollowsTheFirstAndLastCustomizedEntry) {
  open();
  ASSERT_FALSE(dialog->timerRunning());

  writeCustomized({{"Notes", "/usr/bin/notes"}});
  dialog->refreshList();
  EXPECT_TRUE(dialog->timerRunning());
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, starter), program.file(LW_STARTER_FILE));
  EXPECT_EQ(rows().size(), 1u) << "the starter is listed only from the next refresh";

  dialog->refreshList();
  ASSERT_EQ(rows().size(), 2u);
  EXPECT_EQ(rows()[1], (Row{starter, "Current User", program.file(LW_STARTER_FILE)}));

  writeCustomized({});
  dialog->refreshList();
  EXPECT_FALSE(dialog->timerRunning());
  EXPECT_FALSE(runValue(RegistryRoot::CurrentUser, starter));
  EXPECT_EQ(rows(), (std::vector<Row>{{starter, "Current User", program.file(LW_STARTER_FILE)}}));

  dialog->refreshList();
  EXPECT_TRUE(rows().empty());
}

TEST_F(StartupListTest, MissingPartsShowAsEmptyCommands) {
  program.writeFile("0013cst.ini", "Kestrumsoft Launchwright - Customized Entries\r\n" +
                                       std::string(46, '=') +
                                       "\r\n\r\nWhole\r\n/usr/bin/whole\r\n"
                                       "090000000000000100200606301000\r\n=====\r\nHalf");
  setRun(RegistryRoot::CurrentUser, "Blank", "");
  open();

  EXPECT_EQ(rows(), (std::vector<Row>{{"Whole", "Customized", "/usr/bin/whole"},
                                      {"Half", "Customized", ""},
                                      {"Blank", "Current User", ""}}));
  EXPECT_EQ(dialog->status(), "Customized: 2\nCurrent User: 1\nAll Users: 0\n\nTotal: 3");
}

TEST_F(StartupListTest, UnreadableEntriesFileLeavesTheListAsItWas) {
  writeCustomized({{"Notes", "/usr/bin/notes"}});
  setRun(RegistryRoot::CurrentUser, "Clock", "/usr/bin/clock");
  open();
  const auto before = rows();
  const auto status = dialog->status();

  std::filesystem::remove(program.file("0013cst.ini"));
  EXPECT_FALSE(dialog->guarded([&] { dialog->refreshList(); }));
  setRun(RegistryRoot::CurrentUser, "Later", "/usr/bin/later");

  EXPECT_EQ(rows(), before);
  EXPECT_EQ(dialog->status(), status);
  EXPECT_TRUE(dialog->timerRunning());
  EXPECT_TRUE(runValue(RegistryRoot::CurrentUser, starter));
  ASSERT_EQ(program.prompter.shown.size(), 1u);
  EXPECT_EQ(program.prompter.shown[0].caption, "Kestrumsoft Launchwright");
  EXPECT_NE(program.prompter.shown[0].text.find(program.file("0013cst.ini")), std::string::npos);
}

TEST_F(StartupListTest, RefreshForgetsTheSelectionMark) {
  setRun(RegistryRoot::CurrentUser, "Clock", "/usr/bin/clock");
  setRun(RegistryRoot::CurrentUser, "Panel", "/usr/bin/panel");
  open();
  selectRow(1);
  EXPECT_EQ(dialog->selectionMark(), 1);
  EXPECT_EQ(dialog->cellText(1, 0), "Panel");

  dialog->refreshList();
  EXPECT_EQ(dialog->selectionMark(), -1);
  EXPECT_EQ(dialog->cellText(5, 0), "") << "a row that is not there reads as empty";
}

// Open File Location and Properties of the list's menu, and the publisher in the name's tip:
// an entry with an autostart file, one without, and a customized entry, whose file is its
// program.
TEST_F(StartupListTest, ListMenuShowsTheEntrysFileAndItsPropertiesAndTheTipItsPublisher) {
  const std::string folder = program.file("autostart");
  std::filesystem::create_directories(folder);
  program.writeFile("autostart/chat.desktop", "[Desktop Entry]\nExec=chat\n");
  setRun(RegistryRoot::CurrentUser, "Chat", "/usr/bin/chat");
  program.startup.files["Chat"] = folder + "/chat.desktop";
  program.shell.programs["/usr/bin/chat"] = "/usr/bin/chat";
  program.shell.publishers["/usr/bin/chat"] = "Kestrumsoft";
  // A customized entry has no file of its own: its program's folder is shown.
  program.shell.programs["/usr/bin/zbackup"] = program.file("bin/zbackup");
  setRun(RegistryRoot::CurrentUser, "Bare", "/usr/bin/bare");
  writeCustomized({{"Backup", "/usr/bin/zbackup"}});
  open();
  const struct {
    std::string name;
    std::string opened; // the folder shown; empty: the item is greyed
    std::string properties;
    std::string tip;
  } cases[] = {{"Chat", folder, "[Desktop Entry]\nExec=chat\n", "Publisher: Kestrumsoft"},
               {"Bare", "", "/usr/bin/bare\n", ""},
               {"Backup", program.file("bin"), "Backup\n/usr/bin/zbackup\n", ""}};
  for (const auto &row : cases) {
    SCOPED_TRACE(row.name);
    program.shell.opened.clear();
    program.prompter.shown.clear();
    const QModelIndex name = cell(row.name);
    dialog->entryList->setCurrentIndex(name);
    EXPECT_EQ(name.data(Qt::ToolTipRole).toString().toStdString(), row.tip);
    QAction *location = listMenuItem("openFileLocationAction");
    ASSERT_NE(location, nullptr);
    EXPECT_EQ(location->isEnabled(), !row.opened.empty());
    location->trigger();
    EXPECT_EQ(program.shell.opened,
              row.opened.empty() ? std::vector<std::string>{} : std::vector{row.opened});
    QAction *properties = listMenuItem("propertiesAction");
    ASSERT_NE(properties, nullptr);
    properties->trigger();
    ASSERT_EQ(told().size(), 1u);
    EXPECT_EQ(told().front().substr(0, row.properties.size()), row.properties);
  }
}

} // namespace
} // namespace lw::test
