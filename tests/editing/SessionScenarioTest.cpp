// One whole user session on the real main window, the real autostart folders (in a temporary
// XDG configuration) and the real shell: a customized entry is added, started by the timer,
// moved to the user's autostart folder, deleted and brought back.

#include "EditingFixture.h"

#include "app/MainDialog.h"
#include "native/linux/LinuxShell.h"
#include "native/linux/RegistryStore.h"
#include "native/linux/XdgStartupState.h"
#include "support/TextNumbers.h"

#include <QAbstractItemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

class NoTray : public Tray {
public:
  bool available() const override { return false; }
  bool add() override { return false; }
  void remove() override {}
  bool isShown() const override { return false; }
  void showMessage(const std::string &, const std::string &) override {}
};

class SessionScenarioTest : public EditingTest {
protected:
  SessionScenarioTest()
      : config(program.dir.path() / "config"), registry(locations().storeFile),
        startup(locations()), shell(program.dir.str()), platform{registry,         shell,
                                                                 program.clock,    program.location,
                                                                 program.prompter, program.chooser,
                                                                 startup} {}

  XdgLocations locations() const {
    XdgLocations where;
    where.userAutostart = (config / "autostart").string();
    where.systemAutostart = {(program.dir.path() / "xdg" / "autostart").string()};
    where.storeFile = (config / "launchwright" / "registry.ini").string();
    return where;
  }

  // Selects the row as a mouse click would, which sets the window's selection mark.
  static QModelIndexList rowsNamed(MainDialog &window, const QString &name) {
    const QAbstractItemModel *model = window.entryList->model();
    return model->match(model->index(0, 0), Qt::DisplayRole, name, -1, Qt::MatchExactly);
  }
  void select(MainDialog &window, const QString &name) {
    const auto found = rowsNamed(window, name);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    window.entryList->setCurrentIndex(found.first());
  }
  std::string kindShown(MainDialog &window, const QString &name) {
    const auto found = rowsNamed(window, name);
    return found.size() == 1 ? window.cellText(found.first().row(), 1) : std::string("(absent)");
  }
  int startsRecorded() const {
    std::ifstream in(marker);
    int lines = 0;
    for (std::string line; std::getline(in, line);)
      ++lines;
    return lines;
  }
  bool waitForStarts(int count) const {
    for (int waited = 0; waited < 200 && startsRecorded() < count; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    return startsRecorded() == count;
  }

  fs::path config;
  RegistryStore registry;
  XdgStartupState startup;
  LinuxShell shell;
  Platform platform;
  fs::path marker = program.dir.path() / "started.txt";
};

TEST_F(SessionScenarioTest, CustomizedEntryStartsMovesToAutostartAndComesBackAfterDeletion) {
  const fs::path script = program.dir.path() / "heartbeat.sh";
  {
    std::ofstream out(script);
    out << "#!/bin/sh\necho started >> '" << marker.string() << "'\n";
  }
  fs::permissions(script, fs::perms::owner_all);
  const fs::path autostartFile = config / "autostart" / "Heartbeat.desktop";

  NoTray tray;
  MainDialog window(platform, tray);
  window.OnInitDialog();
  window.show();

  // Add: a customized entry every minute, saved at 9:05.
  program.prompter.answer(true);
  whenModal([&](QDialog *dialog) {
    click(dialog, "customizedRadio");
    type(dialog, "nameEdit", "Heartbeat");
    type(dialog, "commandEdit", QString::fromStdString(script.string()));
    click(dialog, "everyMinutesRadio");
    QTest::keyClicks(child<QLineEdit>(dialog, "minutesEdit"), "1");
    click(dialog, "okButton");
  });
  window.addButton->click();
  EXPECT_EQ(shownTexts().back(), text(text::addedNotice));
  EXPECT_EQ(kindShown(window, "Heartbeat"), text(text::customizedLabel));
  EXPECT_TRUE(window.timerRunning());

  window.dispatch(&MainDialog::OnTimer);
  EXPECT_EQ(customLines().at(2), "050001000000000x00200606300905") << "not due within the minute";
  program.clock.set(2006, 6, 30, 9, 6);
  window.dispatch(&MainDialog::OnTimer);
  EXPECT_TRUE(waitForStarts(1)) << "the script ran " << startsRecorded() << " times";
  EXPECT_EQ(customLines().at(2), "050001000000000x00200606300906");

  // Edit: the same entry becomes a Current User entry. A double click on the empty space below
  // the rows edits the selected row.
  select(window, "Heartbeat");
  program.prompter.answer(true);
  whenModal([&](QDialog *dialog) {
    click(dialog, "currentUserRadio");
    click(dialog, "okButton");
  });
  QWidget *rowsArea = window.entryList->viewport();
  const QPoint belowTheRows(5, rowsArea->height() - 5);
  ASSERT_FALSE(window.entryList->indexAt(belowTheRows).isValid());
  QTest::mouseDClick(rowsArea, Qt::LeftButton, {}, belowTheRows);
  EXPECT_EQ(shownTexts().back(), text(text::changedNotice));
  EXPECT_TRUE(customLines().empty());
  EXPECT_TRUE(fs::exists(autostartFile));
  EXPECT_EQ(startup.commandOf(RegistryRoot::CurrentUser, "Heartbeat"), script.string());
  EXPECT_EQ(kindShown(window, "Heartbeat"), text(text::currentUserLabel));
  EXPECT_TRUE(window.reloadPending());
  program.clock.set(2006, 6, 30, 9, 8);
  window.dispatch(&MainDialog::OnTimer);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(startsRecorded(), 1) << "the timer no longer starts a moved entry";

  // Delete it from the list.
  select(window, "Heartbeat");
  program.prompter.answer(true);
  window.deleteButton->click();
  EXPECT_EQ(shownTexts().back(), text(text::deletedNotice));
  EXPECT_FALSE(fs::exists(autostartFile));
  EXPECT_EQ(kindShown(window, "Heartbeat"), "(absent)");

  // Reverse: the older record (the customized entry as it was before the edit) is declined,
  // the deletion is reversed.
  program.prompter.answer(false).answer(true);
  window.dispatch(&MainDialog::OnReverseStartupChanges);
  EXPECT_EQ(shownTexts().back(), text(text::restoredNotice));
  EXPECT_TRUE(fs::exists(autostartFile));
  EXPECT_EQ(startup.commandOf(RegistryRoot::CurrentUser, "Heartbeat"), script.string());
  EXPECT_EQ(kindShown(window, "Heartbeat"), text(text::currentUserLabel));
  EXPECT_EQ(backupLines().size(), 5u) << "the declined record stays for a later run";
  EXPECT_EQ(backupLines().at(3), "2");
  window.hide();
}

TEST_F(SessionScenarioTest, ANameNoAutostartFileCanHaveIsToldAndTheDialogStaysOpen) {
  auto dialog = openDialogOn(platform, EntryKind::CurrentUser, "New entry", "");
  type(dialog.get(), "nameEdit", "../outside");
  type(dialog.get(), "commandEdit", "tool");
  // Refused before anything is asked: no autostart file can have that name.
  click(dialog.get(), "okButton");
  EXPECT_EQ(shownTexts().back(), text(text::badNameRefused));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(fs::exists(config / "outside.desktop"));

  type(dialog.get(), "nameEdit", "Inside");
  program.prompter.answer(true);
  click(dialog.get(), "okButton");
  EXPECT_EQ(shownTexts().back(), text(text::addedNotice));
  EXPECT_TRUE(fs::exists(config / "autostart" / "Inside.desktop"));
}

} // namespace
} // namespace lw::test
