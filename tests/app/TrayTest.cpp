#include "AppFixture.h"
#include "app/SingleInstance.h"
#include "support/TextNumbers.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QSignalSpy>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace lw::test {
namespace {

class TrayTest : public AppTest {
protected:
  std::optional<std::string> background() const { return controlValue("background control"); }
  bool inTray() const {
    return tray.isShown() && dialog->isHidden() && (dialog->windowState() & Qt::WindowMinimized);
  }
  bool normal() const {
    return !tray.isShown() && dialog->isVisible() && !(dialog->windowState() & Qt::WindowMinimized);
  }
  void openTrayMenu() {
    tray.click(TrayClick::ContextMenu);
    ASSERT_TRUE(dialog->trayMenu);
    ASSERT_TRUE(dialog->trayMenu->isVisible());
  }
};

TEST_F(TrayTest, MinimizeToSystrayHidesTheWindowAndMarksBackgroundMode) {
  open();
  action(menu("fileMenu"), "minimizeToTrayAction")->trigger();
  EXPECT_TRUE(inTray());
  EXPECT_EQ(background(), "active");
}

TEST_F(TrayTest, WithoutANotificationAreaTheWindowStaysButBackgroundModeIsMarked) {
  tray.hasArea = false;
  open();
  dialog->dispatch(&MainDialog::OnMinimizeToTray);
  EXPECT_EQ(tray.adds, 1);
  EXPECT_TRUE(normal());
  EXPECT_EQ(background(), "active");
  // The menu says why the item is not offered; at logon the window comes up minimised.
  QMenu *file = menu("fileMenu");
  emit file->aboutToShow();
  QAction *item = action(file, "minimizeToTrayAction");
  EXPECT_FALSE(item->isEnabled());
  EXPECT_EQ(item->toolTip().toStdString(), text(text::noTrayArea));
  program.registry.set(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart", "x");
  open();
  EXPECT_TRUE(dialog->isVisible() && (dialog->windowState() & Qt::WindowMinimized));
  tray.hasArea = true;
  file = menu("fileMenu");
  emit file->aboutToShow();
  EXPECT_TRUE(action(file, "minimizeToTrayAction")->isEnabled());
}

TEST_F(TrayTest, LeftClickRestoresTheWindowAndEndsBackgroundMode) {
  open();
  dialog->minimizeToTray();
  tray.click(TrayClick::Other); // moves, releases, double clicks
  EXPECT_TRUE(inTray());
  tray.click(TrayClick::LeftButton);
  EXPECT_TRUE(normal());
  EXPECT_FALSE(background());
}

TEST_F(TrayTest, SecondStartBringsTheWindowBackFromTheTray) {
  open();
  dialog->minimizeToTray();
  bringToFront(*dialog);
  EXPECT_TRUE(normal());
  EXPECT_FALSE(background());
  dialog->showMinimized();
  bringToFront(*dialog);
  EXPECT_TRUE(normal());
}

TEST_F(TrayTest, TrayMenuShowItemRestoresButKeepsBackgroundMode) {
  open();
  dialog->minimizeToTray();
  openTrayMenu();
  EXPECT_EQ(itemTexts(dialog->trayMenu), (std::vector<std::string>{text(290), text(295)}));
  action(dialog->trayMenu, "showMainProgramAction")->trigger();
  dialog->trayMenu->hide();

  EXPECT_TRUE(normal());
  EXPECT_EQ(background(), "active");
}

TEST_F(TrayTest, StopCustomizedStartupsEndsTheProgramAndBackgroundModeOnly) {
  open();
  program.registry.set(RegistryRoot::LocalMachine, keys::suite, "active", "1");
  dialog->minimizeToTray();
  QSignalSpy finished(dialog.get(), &QDialog::finished);
  openTrayMenu();
  action(dialog->trayMenu, "stopCustomizedStartupsAction")->trigger();

  EXPECT_EQ(finished.count(), 1);
  EXPECT_FALSE(tray.isShown());
  EXPECT_FALSE(background());
  EXPECT_TRUE(program.registry.get(RegistryRoot::LocalMachine, keys::suite, "active"));
}

TEST_F(TrayTest, RightClickOpensAFreshTrayMenuEachTimeTheWindowGoesToTheTray) {
  open();
  dialog->minimizeToTray();
  tray.click(TrayClick::RightButton);
  ASSERT_TRUE(dialog->trayMenu->isVisible());
  EXPECT_EQ(dialog->trayMenu->actions().size(), 2);
  dialog->trayMenu->hide();

  tray.click(TrayClick::LeftButton);
  dialog->minimizeToTray();
  EXPECT_EQ(dialog->findChildren<QMenu *>("trayMenu").size() >= 1, true);
  EXPECT_FALSE(dialog->trayMenu->isVisible());
  EXPECT_EQ(tray.adds, 2);
}

// Counts how often a main window is shown, from before it exists.
class ShowCounter : public QObject {
public:
  ShowCounter() { QCoreApplication::instance()->installEventFilter(this); }
  ~ShowCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
  int shows = 0;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Show && qobject_cast<MainDialog *>(watched))
      ++shows;
    return false;
  }
};

// Until the user brings the window up, every reload sends it back to the tray; from then on it
// stays, whether it came up by a click, the tray menu's Show item, and after a delete.
TEST_F(TrayTest, RunStartedAtLogonStaysInTheTrayUntilTheUserBringsItUp) {
  for (const bool byMenu : {false, true}) {
    SCOPED_TRACE(byMenu ? "tray menu" : "left click");
    program.registry.set(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart", "x");
    writeCustomized({{"Notes", "/usr/bin/notes"}, {"Mail", "/usr/bin/mail"}});
    const ShowCounter counter;
    open();
    dialog->dispatch(&MainDialog::OnTimer); // the first reload puts it in the tray again
    EXPECT_EQ(counter.shows, 0) << "the window flashed before going to the tray";
    EXPECT_TRUE(tray.isShown() && dialog->isHidden());
    EXPECT_EQ(background(), "active");
    dialog->setReloadPending();
    dialog->dispatch(&MainDialog::OnTimer);
    EXPECT_TRUE(tray.isShown() && dialog->isHidden());

    if (byMenu) {
      openTrayMenu();
      action(dialog->trayMenu, "showMainProgramAction")->trigger();
      dialog->trayMenu->hide();
    } else {
      tray.click(TrayClick::LeftButton);
    }
    ASSERT_TRUE(normal());
    dialog->entryList->setCurrentIndex(cell("Notes"));
    program.prompter.answer(true);
    dialog->deleteButton->click();
    dialog->dispatch(&MainDialog::OnTimer);
    ASSERT_FALSE(cell("Notes").isValid()) << "not deleted";
    EXPECT_TRUE(normal()) << "the window went back to the tray after a delete";
  }
}

// The guard itself, both ends in one process: the later start must find the running one only once
// that one's event loop runs, and its request must arrive there. On Windows this is the named
// mutex and the hidden window; on Linux the lock file and the socket, in a private folder.
TEST(InstanceGuard, ALaterStartReachesTheRunningOneAndAsksItToShow) {
  // The session's runtime folder is closed to others; one that is not must not open the
  // instance to them either.
  for (const auto folderMode :
       {std::filesystem::perms::owner_all,
        std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
            std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
            std::filesystem::perms::others_exec}) {
    SCOPED_TRACE(static_cast<int>(folderMode));
    const TempDir runtime;
    std::filesystem::permissions(runtime.path(), folderMode);
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.str()));
    {
      SingleInstance running;
      ASSERT_TRUE(running.claim());
#ifndef _WIN32
      const auto others = std::filesystem::perms::group_all | std::filesystem::perms::others_all;
      const auto socketMode =
          std::filesystem::status(runtime.path() / "launchwright.socket").permissions();
      EXPECT_TRUE((folderMode & others) == std::filesystem::perms::none ||
                  (socketMode & others) == std::filesystem::perms::none);
#endif
      QSignalSpy shown(&running, &SingleInstance::showRequested);
      SingleInstance later;
      EXPECT_FALSE(later.claim());

      std::atomic<bool> done = false;
      bool reached = false;
      bool asked = false;
      std::thread start([&] {
        reached = later.reachRunning();
        asked = reached && later.askToShow();
        done = true;
      });
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
      while ((!done || shown.isEmpty()) && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      start.join();
      EXPECT_TRUE(reached);
      EXPECT_TRUE(asked);
      EXPECT_EQ(shown.size(), 1);
    }
    // Ended, the instance leaves nothing that would make the next start wait for it.
    SingleInstance next;
    EXPECT_TRUE(next.claim());
    qputenv("XDG_RUNTIME_DIR", previous);
  }
}

} // namespace
} // namespace lw::test
