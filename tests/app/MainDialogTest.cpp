#include "AppFixture.h"

#include "entries/FileErrorText.h"
#include "storage/EntryFormat.h"
#include "support/TextNumbers.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <set>

namespace lw::test {
namespace {

using namespace std::chrono_literals;

class MainDialogTest : public AppTest {
protected:
  QPushButton *button(const char *name) const {
    return dialog->findChild<QPushButton *>(QString::fromLatin1(name));
  }
  std::string buttonText(const char *name) const { return button(name)->text().toStdString(); }
  std::string statusLabel() const {
    return dialog->findChild<QLabel *>("statusText")->text().toStdString();
  }
  void setMarker(const std::string &data) {
    program.registry.set(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart", data);
  }
  void setRunningValues() {
    program.registry.set(RegistryRoot::LocalMachine, keys::control, "background control", "active");
    program.registry.set(RegistryRoot::LocalMachine, keys::suite, "active", "1");
  }
  bool suiteActive() const {
    return program.registry.get(RegistryRoot::LocalMachine, keys::suite, "active").has_value();
  }
};

TEST_F(MainDialogTest, WindowOpensWithLanguageTextsColumnsAndKeyboardAccess) {
  open();
  EXPECT_EQ(dialog->windowTitle().toStdString(), "Kestrumsoft Launchwright");
  EXPECT_EQ(buttonText("editButton"), "&Edit Entry");
  EXPECT_EQ(buttonText("addButton"), "&Add Entry");
  EXPECT_EQ(buttonText("deleteButton"), "&Delete Entry");
  EXPECT_TRUE(button("okButton")->isHidden());
  EXPECT_TRUE(button("cancelButton")->isHidden());

  QTreeView *list = dialog->entryList;
  const auto header = [list](int column) {
    return list->model()->headerData(column, Qt::Horizontal).toString().toStdString();
  };
  ASSERT_EQ(list->model()->columnCount(), 5);
  EXPECT_EQ(header(0), "Name");
  EXPECT_EQ(header(1), "Kind");
  EXPECT_EQ(header(2), "Command");
  EXPECT_EQ(header(3), "Impact");
  EXPECT_EQ(header(4), "Status");
  EXPECT_EQ(list->columnWidth(0), 100);
  // The kind column grows with its longest label in the font of the system.
  EXPECT_GE(list->columnWidth(1), 100);
  EXPECT_GT(list->columnWidth(1), list->fontMetrics().horizontalAdvance("Current User"));
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);

  EXPECT_FALSE(list->accessibleName().isEmpty());
  EXPECT_FALSE(dialog->findChild<QLabel *>("statusText")->accessibleName().isEmpty());
  for (QWidget *control : std::initializer_list<QWidget *>{
           list, button("editButton"), button("addButton"), button("deleteButton")})
    EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << control->objectName().toStdString();
  EXPECT_FALSE(dialog->windowIcon().isNull());
  EXPECT_TRUE(dialog->reloadPending());
  EXPECT_FALSE(dialog->startedByAutostart());
}

TEST_F(MainDialogTest, GermanLanguageFileTranslatesButtonsColumnsAndStatus) {
  program.writeFile("config.ini", "Language\r\n[Deutsch]\r\n");
  // Widths kept from a run in a language of shorter labels still leave room for these.
  program.registry.set(RegistryRoot::CurrentUser,
                       "SOFTWARE\\Kestrum\\Kestrumsoft Launchwright\\Window", "Layout",
                       "700 450 100 60 200");
  open();
  EXPECT_EQ(buttonText("addButton"), "Hin&zufügen");
  EXPECT_EQ(dialog->entryList->model()->headerData(2, Qt::Horizontal).toString().toStdString(),
            "Befehl");
  const QFontMetrics metrics = dialog->entryList->fontMetrics();
  for (const char *label : {"Benutzerdefiniert", "Aktueller Benutzer", "Alle Benutzer"})
    EXPECT_GT(dialog->entryList->columnWidth(1),
              metrics.horizontalAdvance(QString::fromUtf8(label)))
        << label << " fits its column";
  EXPECT_EQ(statusLabel(),
            "Benutzerdefiniert: 0\nAktueller Benutzer: 0\nAlle Benutzer: 0\n\nGesamt: 0");
}

TEST_F(MainDialogTest, AtTheFirstSizeEveryStatusWordFitsWithoutScrolling) {
  for (const char *section : {"[English]", "[Deutsch]"}) {
    SCOPED_TRACE(section);
    program.writeFile("config.ini", std::string("Language\r\n") + section + "\r\n");
    open();
    QTreeView *list = dialog->entryList;
    const QFontMetrics metrics = list->fontMetrics();
    int columns = 0;
    for (int column = 0; column < 5; ++column)
      columns += list->columnWidth(column);
    EXPECT_LE(columns, list->viewport()->width()) << "no horizontal scroll bar";
    for (std::int32_t number = lw::text::firstVerdictLabel; number < lw::text::firstVerdictReason;
         ++number)
      EXPECT_GT(list->columnWidth(4), metrics.horizontalAdvance(QString::fromStdString(
                                          dialog->languageTable.getText(number))) +
                                          16)
          << number << " and its icon fit";
  }
}

TEST_F(MainDialogTest, WindowGrowsIntoItsListAndOpensAgainAsTheUserLeftIt) {
  const auto child = [this](const char *name) {
    return dialog->findChild<QWidget *>(QString::fromLatin1(name))->geometry();
  };
  open();
  // The first size is the smallest, unless a large font needs it wider for the Status words.
  const QSize designed = dialog->size();
  EXPECT_EQ(dialog->minimumSize().height(), designed.height());
  EXPECT_LE(dialog->minimumSize().width(), designed.width());
  const QRect list = dialog->entryList->geometry(), edit = child("editButton");
  const QRect counts = child("statusText"), bottom = child("bottomBand");
  const auto widths = [this] {
    std::vector<int> columns;
    for (int column = 0; column < 5; ++column)
      columns.push_back(dialog->entryList->columnWidth(column));
    return columns;
  };
  const std::vector<int> before = widths();

  dialog->resize(designed + QSize(200, 150));
  QApplication::processEvents();
  EXPECT_EQ(dialog->entryList->geometry(), list.adjusted(0, 0, 200, 150));
  // Name, Command and Status share the new room; Kind and Impact keep their widths, and the
  // columns reach the list's right edge.
  const std::vector<int> after = widths();
  EXPECT_EQ(after[0], before[0] + 200 / 3);
  EXPECT_EQ(after[1], before[1]);
  EXPECT_EQ(after[2], before[2] + 200 / 3);
  EXPECT_EQ(after[3], before[3]);
  EXPECT_GE(after[4], before[4] + 200 / 3);
  EXPECT_GE(after[0] + after[1] + after[2] + after[3] + after[4],
            dialog->entryList->viewport()->width());
  EXPECT_EQ(child("editButton"), edit.translated(200, 150));
  EXPECT_EQ(child("statusText"), counts.translated(0, 150));
  EXPECT_EQ(child("bottomBand"), bottom.adjusted(0, 150, 200, 150));
  EXPECT_EQ(child("rightBand").right(), child("bottomBand").right());

  dialog->entryList->setColumnWidth(0, 160);
  dialog->close();
  open();
  EXPECT_EQ(dialog->size(), designed + QSize(200, 150));
  EXPECT_EQ(dialog->entryList->columnWidth(0), 160);

  // A damaged or foreign value opens the window as designed.
  for (const char *layout :
       {"0 0 0 0 0", "842 551 160 100", "842 551 x 100 230", "99999 1 1 1 1"}) {
    program.registry.set(RegistryRoot::CurrentUser,
                         "SOFTWARE\\Kestrum\\Kestrumsoft Launchwright\\Window", "Layout", layout);
    open();
    EXPECT_EQ(dialog->size(), designed) << layout;
    EXPECT_EQ(dialog->entryList->columnWidth(0), 100) << layout;
  }
}

TEST_F(MainDialogTest, CountsAreFullyVisibleInLargeFonts) {
  const QFont original = QApplication::font();
  for (int points : {0, 14, 24}) {
    QFont font = original;
    if (points)
      font.setPointSize(points);
    QApplication::setFont(font);
    program.writeFile("config.ini", "Language\r\n[Deutsch]\r\n");
    open();
    const auto *counts = dialog->findChild<QLabel *>("statusText");
    const auto *band = dialog->findChild<QLabel *>("bottomBand");
    EXPECT_GE(counts->height(), counts->sizeHint().height()) << points << " points";
    // The last line stays clear of the picture band below it, and the band inside the window.
    EXPECT_LE(counts->y() + counts->sizeHint().height(), band->y()) << points << " points";
    EXPECT_LE(band->geometry().bottom(), band->parentWidget()->height()) << points << " points";
  }
  QApplication::setFont(original);
}

TEST_F(MainDialogTest, EveryAltKeyOfTheWindowReachesOneControlInEveryLanguage) {
  // Two controls with the same mnemonic make Alt+letter only move the focus between them.
  for (const char *language : {"[English]", "[Deutsch]"}) {
    program.writeFile("config.ini", std::string("Language\r\n") + language + "\r\n");
    open();
    std::vector<QString> texts;
    for (QAction *title : dialog->menuBar->actions())
      texts.push_back(title->text());
    for (const char *name : {"editButton", "addButton", "deleteButton"})
      texts.push_back(button(name)->text());
    std::set<int> keys;
    for (const QString &text : texts) {
      const QKeySequence key = QKeySequence::mnemonic(text);
      EXPECT_FALSE(key.isEmpty()) << language << ' ' << text.toStdString();
      EXPECT_TRUE(keys.insert(key[0].toCombined()).second) << language << ' ' << text.toStdString();
    }
  }
}

TEST_F(MainDialogTest, AutostartMarkerIsConsumedOnlyWhenItIsExactlyX) {
  for (const std::string other : {"X", "x ", " x", ""}) {
    setMarker(other);
    open();
    EXPECT_FALSE(dialog->startedByAutostart()) << '"' << other << '"';
    EXPECT_EQ(program.registry.get(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"),
              other);
    EXPECT_EQ(program.clock.slept, 0ms);
  }

  // The starter notes when it set the marker; a marker older than any logon start was left by
  // a program that ended at once, and a start by hand takes it back without acting on it.
  const std::int64_t now = logonmarker::now();
  for (const auto &[note, logon] : std::vector<std::pair<std::optional<std::int64_t>, bool>>{
           {std::nullopt, true}, {now - 5, true}, {now - 3600, false}}) {
    program.clock.slept = 0ms;
    setMarker("x");
    if (note)
      program.registry.set(RegistryRoot::LocalMachine, keys::settingsRead, logonmarker::setAt,
                           std::to_string(*note));
    open();
    EXPECT_EQ(dialog->startedByAutostart(), logon);
    EXPECT_FALSE(program.registry.get(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"));
    EXPECT_FALSE(
        program.registry.get(RegistryRoot::LocalMachine, keys::settingsRead, logonmarker::setAt));
    EXPECT_EQ(program.clock.slept, logon ? 5500ms : 0ms);
  }
}

TEST_F(MainDialogTest, AutostartWaitHappensBeforeTheWindowIsShown) {
  setMarker("x");
  struct WatchingClock : FixedClock {
    QWidget *window = nullptr;
    bool shownWhileWaiting = false;
    void sleepFor(std::chrono::milliseconds duration) override {
      shownWhileWaiting = window && window->isVisible();
      FixedClock::sleepFor(duration);
    }
  } clock;
  Platform platform{program.registry, program.shell,   clock,          program.location,
                    program.prompter, program.chooser, program.startup};
  MainDialog window(platform, tray);
  clock.window = &window;
  window.OnInitDialog();
  EXPECT_EQ(clock.slept, 5500ms);
  EXPECT_FALSE(clock.shownWhileWaiting);
}

TEST_F(MainDialogTest, MissingLanguageFileOpensTheWindowWithItsOwnTexts) {
  std::filesystem::remove(program.file("0013trl.ini"));
  writeCustomized({{"Notes", "/usr/bin/notes"}});
  setMarker("x");
  open();

  ASSERT_EQ(program.prompter.shown.size(), 1u);
  const auto &report = program.prompter.shown[0];
  EXPECT_EQ(report.caption, "Kestrumsoft Launchwright");
  EXPECT_FALSE(report.question);
  EXPECT_EQ(report.text.rfind("Launchwright could not use one of its files.\n\n", 0), 0u);
  EXPECT_NE(report.text.find(program.file("0013trl.ini")), std::string::npos);

  EXPECT_EQ(buttonText("editButton"), "&Edit Entry");
  EXPECT_EQ(dialog->entryList->model()->columnCount(), 0);
  EXPECT_EQ(rowCount(), 0);
  EXPECT_EQ(statusLabel(), "");
  EXPECT_FALSE(dialog->timerRunning());
  EXPECT_FALSE(dialog->reloadPending());
  EXPECT_TRUE(program.registry.get(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"))
      << "the marker is left for the next start";
  EXPECT_TRUE(dialog->isVisible());
}

TEST_F(MainDialogTest, MissingEntriesFileOpensTheWindowWithColumnsButNoRows) {
  std::filesystem::remove(program.file("0013cst.ini"));
  setRun(RegistryRoot::CurrentUser, "Clock", "/usr/bin/clock");
  setRun(RegistryRoot::CurrentUser, "Launchwright", "/old/rwlaunch");
  open();

  ASSERT_EQ(program.prompter.shown.size(), 1u);
  EXPECT_EQ(program.prompter.shown[0].text.rfind(text(600) + "\n\n", 0), 0u);
  EXPECT_NE(program.prompter.shown[0].text.find(program.file("0013cst.ini")), std::string::npos);
  EXPECT_EQ(buttonText("addButton"), "&Add Entry");
  EXPECT_EQ(dialog->entryList->model()->columnCount(), 5);
  EXPECT_EQ(rowCount(), 0);
  EXPECT_EQ(statusLabel(), "");
  EXPECT_FALSE(dialog->timerRunning());
  EXPECT_FALSE(dialog->reloadPending());
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Launchwright"), "/old/rwlaunch");
}

TEST_F(MainDialogTest, FileErrorReportsNameTheFileAndFallBackToEnglish) {
  LanguageTable unloaded(program.platform);
  const FileError missing("/p/0013cst.ini", "No such file or directory");
  EXPECT_EQ(fileErrorMessage(missing, unloaded),
            "Launchwright could not use one of its files.\n\n/p/0013cst.ini\n"
            "No such file or directory");

  LanguageTable german(program.platform);
  program.writeFile("config.ini", "Language\r\n[Deutsch]\r\n");
  german.load();
  EXPECT_EQ(fileErrorMessage(missing, german).rfind(german.getText(600) + "\n\n", 0), 0u);

  LanguageTable english(program.platform);
  program.writeFile("config.ini", "Language\r\n[English]\r\n");
  english.load();
  const FileError foreign("/p/0013bkp.ini", unrecognisedContentReason);
  EXPECT_EQ(fileErrorMessage(foreign, english), english.getText(595) + "\n\n/p/0013bkp.ini");
}

TEST_F(MainDialogTest, CloseBoxRemovesBackgroundAndSuiteValues) {
  open();
  setRunningValues();
  QSignalSpy finished(dialog.get(), &QDialog::finished);
  EXPECT_TRUE(dialog->close());

  EXPECT_EQ(finished.count(), 1);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_FALSE(controlValue("background control"));
  EXPECT_FALSE(suiteActive());
}

TEST_F(MainDialogTest, EscapeAndEnterEndTheWindowButKeepTheValues) {
  open();
  setRunningValues();
  QTest::keyClick(dialog->entryList, Qt::Key_Escape);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(controlValue("background control"), "active");
  EXPECT_TRUE(suiteActive());

  open();
  QTest::keyClick(dialog->entryList, Qt::Key_Return);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(controlValue("background control"), "active");
  EXPECT_TRUE(suiteActive());
}

TEST_F(MainDialogTest, ExitRemovesTheTrayIconAndBothValues) {
  open();
  dialog->minimizeToTray();
  ASSERT_TRUE(tray.isShown());
  program.registry.set(RegistryRoot::LocalMachine, keys::suite, "active", "1");
  QSignalSpy finished(dialog.get(), &QDialog::finished);
  action(menu("fileMenu"), "exitAction")->trigger();

  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(tray.isShown());
  EXPECT_FALSE(controlValue("background control"));
  EXPECT_FALSE(suiteActive());
}

TEST_F(MainDialogTest, TimerTickReloadsAndAFailedReloadStaysPending) {
  writeCustomized({{"Notes", "/usr/bin/notes"}});
  open();
  ASSERT_TRUE(dialog->reloadPending());
  dialog->dispatch(&MainDialog::OnTimer);
  EXPECT_FALSE(dialog->reloadPending());
  EXPECT_EQ(controlValue("background control"), "active");
  EXPECT_TRUE(program.prompter.shown.empty());

  dialog->setReloadPending();
  std::filesystem::remove(program.file("0013cst.ini"));
  dialog->dispatch(&MainDialog::OnTimer);
  EXPECT_TRUE(dialog->reloadPending());
  ASSERT_EQ(program.prompter.shown.size(), 1u);
  EXPECT_NE(program.prompter.shown[0].text.find("0013cst.ini"), std::string::npos);
}

TEST_F(MainDialogTest, TicksInsideAFailedTicksReportAddNoFurtherReports) {
  // The timer keeps firing inside the report's modal loop; an entries file that stays
  // unreadable must not pile up one report on another every period.
  struct TickingPrompter : ScriptedPrompter {
    MainDialog *window = nullptr;
    void tell(const std::string &text, const std::string &caption) override {
      ScriptedPrompter::tell(text, caption);
      if (window && shown.size() < 5)
        window->dispatch(&MainDialog::OnTimer);
    }
  } prompter;
  writeCustomized({{"Notes", "/usr/bin/notes"}});
  Platform platform{program.registry, program.shell,   program.clock,  program.location,
                    prompter,         program.chooser, program.startup};
  MainDialog window(platform, tray);
  window.OnInitDialog();
  std::filesystem::remove(program.file("0013cst.ini"));
  prompter.window = &window;

  window.dispatch(&MainDialog::OnTimer);
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_TRUE(window.reloadPending());

  window.dispatch(&MainDialog::OnTimer); // the report was closed: the next tick tries again
  EXPECT_EQ(prompter.shown.size(), 2u);
  prompter.window = nullptr;
}

TEST_F(MainDialogTest, EntryButtonsAndDoubleClickReachTheirCommands) {
  open();
  QTest::mouseClick(dialog->editButton, Qt::LeftButton);
  QTest::mouseClick(dialog->deleteButton, Qt::LeftButton);
  QTest::mouseDClick(dialog->entryList->viewport(), Qt::LeftButton);
  EXPECT_EQ(told(), (std::vector<std::string>{text(165), text(170), text(165)}));
}

} // namespace
} // namespace lw::test
