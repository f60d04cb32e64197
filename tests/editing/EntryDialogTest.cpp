// The entry dialog as the user drives it: adding and editing, the question and its answers, the
// kind radios, Browse and Delete this entry.

#include "EditingFixture.h"

#include "scheduler/ScheduleStatus.h"
#include "support/TextNumbers.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace lw::test {
namespace {

using Lines = std::vector<std::string>;

const std::string recordHeader = "Deleted or changed on 2006/6/30 at 9:5:";
const std::string savedStamp = "200606300905";
const std::string newRule = "000000000000000x00";

class EntryDialogTest : public EditingTest {
protected:
  std::string changeQuestion() const {
    return text(text::changeQuestion) + "\n\n" + text(text::changeQuestionDetail);
  }
  Lines record(const std::string &name, const std::string &command, int kind) const {
    return {recordHeader, name, command, std::to_string(kind), ""};
  }
  static std::vector<QWidget *> scheduleControls(QWidget *dialog) {
    std::vector<QWidget *> controls;
    for (const char *name :
         {"onceADayRadio", "everySecondDayRadio", "onceAWeekRadio", "onceAMonthRadio",
          "onceAYearRadio", "everyMinutesRadio", "everyHoursRadio", "everyDaysRadio",
          "everyWeeksRadio", "onlyOnWeekdayRadio", "onDayOfMonthRadio", "minutesEdit", "hoursEdit",
          "daysEdit", "weeksEdit", "weekdayCombo", "dayOfMonthEdit"})
      controls.push_back(child<QWidget>(dialog, name));
    return controls;
  }
  static int enabledCount(const std::vector<QWidget *> &controls) {
    int count = 0;
    for (QWidget *control : controls)
      count += control && control->isEnabled() ? 1 : 0;
    return count;
  }
};

TEST_F(EntryDialogTest, NewEntryAsksToAddAndWritesWithoutBackupRecord) {
  auto dialog = openDialog(EntryKind::CurrentUser, "New entry", "");
  EXPECT_FALSE(child<QPushButton>(dialog.get(), "deleteEntryButton")->isEnabled());

  type(dialog.get(), "commandEdit", "/usr/bin/tool --start");
  program.prompter.answer(true);
  click(dialog.get(), "okButton");

  EXPECT_EQ(shownTexts(), (Lines{text(text::addQuestion), text(text::addedNotice)}));
  EXPECT_EQ(program.prompter.shown.front().caption, "Kestrumsoft Launchwright");
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "New entry"), "/usr/bin/tool --start");
  EXPECT_TRUE(backupLines().empty());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

// Choose Application fills the name and the command from the application the filter line leaves,
// and the entry is saved as a copy of that application's own.
TEST_F(EntryDialogTest, ChooseApplicationFillsNameAndCommandAndSavesACopy) {
  FakeApplications applications;
  applications.offered = {{"org.example.Editor", "Editor", "Edits text", "editor --new", ""},
                          {"org.example.Viewer", "Viewer", "Shows pictures", "viewer %f", ""}};
  Platform platform = program.platform;
  platform.applications = &applications;
  auto dialog = openDialogOn(platform, EntryKind::CurrentUser, "New entry", "");
  whenModal([](QDialog *chooser) {
    auto *filter = chooser->findChild<QLineEdit *>("applicationFilterEdit");
    auto *list = chooser->findChild<QListView *>("applicationList");
    ASSERT_TRUE(filter && list);
    EXPECT_FALSE(filter->accessibleName().isEmpty());
    EXPECT_FALSE(list->accessibleName().isEmpty());
    QTest::keyClicks(filter, "PICT"); // the Viewer's comment, in any case
    EXPECT_EQ(list->model()->rowCount(), 1);
    child<QPushButton>(chooser, "okButton")->click();
  });
  click(dialog.get(), "chooseApplicationButton");
  EXPECT_EQ(fieldText(dialog.get(), "nameEdit"), "Viewer");
  EXPECT_EQ(fieldText(dialog.get(), "commandEdit"), "viewer %f");

  program.prompter.answer(true);
  click(dialog.get(), "okButton");
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Viewer"), "viewer %f");
  EXPECT_EQ(program.startup.fromApplication["Viewer"], "org.example.Viewer");
}

TEST_F(EntryDialogTest, NewCustomizedEntryIsAppendedWithTheSavingTimeAsLastStart) {
  setCustomLines({"Other", "other.sh", newRule + "200001010000", "====="});
  auto dialog = openDialog(EntryKind::CurrentUser, "New entry", "");
  click(dialog.get(), "customizedRadio");
  type(dialog.get(), "nameEdit", "Backup");
  type(dialog.get(), "commandEdit", "backup.sh");
  click(dialog.get(), "everyMinutesRadio");
  QTest::keyClicks(child<QLineEdit>(dialog.get(), "minutesEdit"), "30");
  program.prompter.answer(true);
  click(dialog.get(), "okButton");

  EXPECT_EQ(customLines(), (Lines{"Other", "other.sh", newRule + "200001010000", "=====", "Backup",
                                  "backup.sh", "050030000000000x00" + savedStamp, "====="}));
  EXPECT_TRUE(backupLines().empty());
  EXPECT_EQ(shownTexts().back(), text(text::addedNotice));
}

TEST_F(EntryDialogTest, EmptyCommandUnderAnyOtherNameIsAnEdit) {
  setRunValue(RegistryRoot::CurrentUser, "Tray helper", "");
  auto dialog = openDialog(EntryKind::CurrentUser, "Tray helper", "");
  EXPECT_FALSE(dialog->changed());
  EXPECT_TRUE(child<QPushButton>(dialog.get(), "deleteEntryButton")->isEnabled());

  type(dialog.get(), "commandEdit", "helper");
  program.prompter.answer(true);
  click(dialog.get(), "okButton");

  EXPECT_EQ(shownTexts(), (Lines{changeQuestion(), text(text::changedNotice)}));
  EXPECT_EQ(backupLines(), record("Tray helper", "", 1));
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Tray helper"), "helper");
}

TEST_F(EntryDialogTest, OkOnUntouchedRunEntriesRecordsAndRewritesThem) {
  setRunValue(RegistryRoot::LocalMachine, "Agent", "/opt/agent");
  setRunValue(RegistryRoot::CurrentUser, "Notes", "notes --tray");
  for (const auto &[kind, name, command] :
       {std::tuple{EntryKind::AllUsers, "Agent", "/opt/agent"},
        std::tuple{EntryKind::CurrentUser, "Notes", "notes --tray"}}) {
    auto dialog = openDialog(kind, name, command);
    EXPECT_EQ(enabledCount(scheduleControls(dialog.get())), 0) << "Run entries have no start rule";
    EXPECT_TRUE(child<QGroupBox>(dialog.get(), "scheduleGroup")->isEnabled());
    program.prompter.answer(true);
    click(dialog.get(), "okButton");
    EXPECT_TRUE(dialog->changed()) << "the rebuilt start rule differs from the empty one";
  }
  EXPECT_EQ(shownTexts(), (Lines{changeQuestion(), text(text::changedNotice), changeQuestion(),
                                 text(text::changedNotice)}));
  Lines expected = record("Agent", "/opt/agent", 0);
  const Lines second = record("Notes", "notes --tray", 1);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(backupLines(), expected);
  EXPECT_EQ(runValue(RegistryRoot::LocalMachine, "Agent"), "/opt/agent");
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Notes"), "notes --tray");
}

TEST_F(EntryDialogTest, OkOnUntouchedCustomizedEntryMovesItToTheEndWithAFreshStamp) {
  const std::string stored = "050030000000000x00200601011200";
  setCustomLines(
      {"Sync", "sync.sh", stored, "=====", "Mail", "mail.sh", newRule + "200602021500", "====="});
  auto dialog = openDialog(EntryKind::Customized, "Sync", "sync.sh", stored);
  EXPECT_TRUE(child<QRadioButton>(dialog.get(), "everyMinutesRadio")->isChecked());
  EXPECT_EQ(fieldText(dialog.get(), "minutesEdit"), "30");
  EXPECT_EQ(fieldText(dialog.get(), "hoursEdit"), "0");
  EXPECT_EQ(child<QComboBox>(dialog.get(), "weekdayCombo")->currentText(), "");
  EXPECT_EQ(enabledCount(scheduleControls(dialog.get())), 17);

  program.prompter.answer(true);
  click(dialog.get(), "okButton");

  EXPECT_EQ(customLines(), (Lines{"Mail", "mail.sh", newRule + "200602021500", "=====", "Sync",
                                  "sync.sh", "050030000000000x00" + savedStamp, "====="}));
  EXPECT_EQ(backupLines(), record("Sync", "sync.sh", 2));
  EXPECT_EQ(shownTexts().back(), text(text::changedNotice));
}

TEST_F(EntryDialogTest, UnchangedStartRuleWithoutStampClosesWithoutAsking) {
  // Only a hand-edited line that holds the rule alone compares equal to the rebuilt rule.
  setCustomLines({"Sync", "sync.sh", "090000000000000600", "====="});
  auto dialog = openDialog(EntryKind::Customized, "Sync", "sync.sh", "090000000000000600");
  EXPECT_EQ(child<QComboBox>(dialog.get(), "weekdayCombo")->currentText(), "Friday");
  click(dialog.get(), "okButton");

  EXPECT_TRUE(program.prompter.shown.empty());
  EXPECT_FALSE(dialog->changed());
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(customLines(), (Lines{"Sync", "sync.sh", "090000000000000600", "====="}));
}

TEST_F(EntryDialogTest, AnsweringNoWritesNothingButReportsChanged) {
  setRunValue(RegistryRoot::CurrentUser, "Notes", "notes");
  auto dialog = openDialog(EntryKind::CurrentUser, "Notes", "notes");
  type(dialog.get(), "nameEdit", "Renamed");
  program.prompter.answer(false);
  click(dialog.get(), "okButton");

  EXPECT_EQ(shownTexts(), Lines{changeQuestion()});
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(dialog->changed());
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Notes"), "notes");
  EXPECT_FALSE(runValue(RegistryRoot::CurrentUser, "Renamed"));
  EXPECT_TRUE(backupLines().empty());
}

TEST_F(EntryDialogTest, KindRadiosSwitchTheStartRuleAndMarkAChangeEvenWhenCancelled) {
  auto dialog =
      openDialog(EntryKind::Customized, "Sync", "sync.sh", "070000000000500x00200601011200");
  const auto controls = scheduleControls(dialog.get());
  EXPECT_FALSE(dialog->changed());

  click(dialog.get(), "allUsersRadio");
  EXPECT_EQ(enabledCount(controls), 0);
  EXPECT_EQ(fieldText(dialog.get(), "daysEdit"), "5") << "disabled fields keep their contents";
  EXPECT_TRUE(child<QRadioButton>(dialog.get(), "everyDaysRadio")->isChecked());
  click(dialog.get(), "customizedRadio");
  EXPECT_EQ(enabledCount(controls), 17);
  EXPECT_TRUE(dialog->changed());

  click(dialog.get(), "cancelButton");
  EXPECT_TRUE(program.prompter.shown.empty());
  EXPECT_TRUE(backupLines().empty());
  EXPECT_EQ(program.startup.writes, 0);
}

TEST_F(EntryDialogTest, ChangingTheKindMovesTheEntryBetweenItsStores) {
  setCustomLines({"Sync", "sync.sh", newRule + "200601011200", "====="});
  setRunValue(RegistryRoot::CurrentUser, "Notes", "notes");

  auto toUser = openDialog(EntryKind::Customized, "Sync", "sync.sh", newRule + "200601011200");
  click(toUser.get(), "currentUserRadio");
  program.prompter.answer(true);
  click(toUser.get(), "okButton");
  EXPECT_TRUE(customLines().empty());
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Sync"), "sync.sh");

  auto toCustomized = openDialog(EntryKind::CurrentUser, "Notes", "notes");
  click(toCustomized.get(), "customizedRadio");
  type(toCustomized.get(), "nameEdit", "Notes at noon");
  program.prompter.answer(true);
  click(toCustomized.get(), "okButton");
  EXPECT_FALSE(runValue(RegistryRoot::CurrentUser, "Notes")) << "no value under the old name";
  EXPECT_EQ(customLines(), (Lines{"Notes at noon", "notes", newRule + savedStamp, "====="}));

  Lines expected = record("Sync", "sync.sh", 2);
  const Lines second = record("Notes", "notes", 1);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(backupLines(), expected);
}

TEST_F(EntryDialogTest, BrowseReplacesTheWholeCommandAndCancellingKeepsWhatWasTyped) {
  setRunValue(RegistryRoot::CurrentUser, "Tool", "tool --old-arg");
  auto dialog = openDialog(EntryKind::CurrentUser, "Tool", "tool --old-arg");
  type(dialog.get(), "nameEdit", "Typed name");
  type(dialog.get(), "commandEdit", "typed command");

  click(dialog.get(), "browseButton");
  EXPECT_EQ(program.chooser.asked, 1);
  EXPECT_EQ(fieldText(dialog.get(), "nameEdit"), "Typed name");
  EXPECT_EQ(fieldText(dialog.get(), "commandEdit"), "typed command");
  EXPECT_FALSE(dialog->changed()) << "a cancelled Browse changes nothing";

  program.chooser.choice = "/home/user/My Tools/run it.sh";
  click(dialog.get(), "browseButton");
  EXPECT_EQ(fieldText(dialog.get(), "commandEdit"), "/home/user/My Tools/run it.sh");
  EXPECT_EQ(fieldText(dialog.get(), "nameEdit"), "Typed name");
  EXPECT_TRUE(dialog->changed());

  program.prompter.answer(true);
  click(dialog.get(), "okButton");
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Typed name"), "/home/user/My Tools/run it.sh")
      << "stored without quotes";
}

TEST_F(EntryDialogTest, DeleteThisEntryRemovesTheEntryAsItWasWhenOpened) {
  setRunValue(RegistryRoot::LocalMachine, "Agent", "/opt/agent");
  auto dialog = openDialog(EntryKind::AllUsers, "Agent", "/opt/agent");
  type(dialog.get(), "nameEdit", "Edited name");

  program.prompter.answer(false);
  click(dialog.get(), "deleteEntryButton");
  EXPECT_TRUE(dialog->isVisible()) << "No leaves the dialog open";
  EXPECT_EQ(fieldText(dialog.get(), "nameEdit"), "Edited name");
  EXPECT_FALSE(dialog->changed());
  EXPECT_EQ(runValue(RegistryRoot::LocalMachine, "Agent"), "/opt/agent");
  EXPECT_TRUE(backupLines().empty());

  program.prompter.answer(true);
  click(dialog.get(), "deleteEntryButton");
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(dialog->changed());
  EXPECT_FALSE(runValue(RegistryRoot::LocalMachine, "Agent"));
  EXPECT_EQ(backupLines(), record("Agent", "/opt/agent", 0));
  // The question names the entry.
  const std::string question = fillIn(text(text::deleteQuestion), {"Agent"});
  EXPECT_EQ(shownTexts(), (Lines{question, question, text(text::deletedNotice)}));
}

TEST_F(EntryDialogTest, EnterOnAFocusedButtonPressesThatButtonNotOk) {
  setRunValue(RegistryRoot::CurrentUser, "Notes", "notes");
  auto dialog = openDialog(EntryKind::CurrentUser, "Notes", "notes");
  type(dialog.get(), "nameEdit", "Renamed");
  dialog->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
  const auto enterOn = [&](const char *objectName) {
    // Only an auto-default button takes Enter when it has the focus; for any other the desktop
    // hands Enter on to the dialog's default button, OK (the offscreen platform does not).
    EXPECT_TRUE(child<QPushButton>(dialog.get(), objectName)->autoDefault()) << objectName;
    child<QWidget>(dialog.get(), objectName)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  };

  enterOn("browseButton");
  EXPECT_EQ(program.chooser.asked, 1);
  EXPECT_TRUE(dialog->isVisible());

  program.prompter.answer(false);
  enterOn("deleteEntryButton");
  EXPECT_EQ(shownTexts(), (Lines{fillIn(text(text::deleteQuestion), {"Notes"})}));
  EXPECT_TRUE(dialog->isVisible());

  enterOn("cancelButton");
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(shownTexts().size(), 1u) << "Enter on Cancel saves nothing";
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Notes"), "notes");

  auto typed = openDialog(EntryKind::CurrentUser, "Notes", "notes");
  type(typed.get(), "nameEdit", "Renamed");
  program.prompter.answer(false);
  QTest::keyClick(child<QLineEdit>(typed.get(), "nameEdit"), Qt::Key_Return);
  EXPECT_EQ(shownTexts().back(), changeQuestion()) << "Enter in a field is OK";
}

TEST_F(EntryDialogTest, NumberFieldsKeepToTheirWidthsAndTypedTextIsEncodedAsTyped) {
  auto dialog = openDialog(EntryKind::CurrentUser, "New entry", "");
  click(dialog.get(), "customizedRadio");
  type(dialog.get(), "commandEdit", "job");
  QTest::keyClicks(child<QLineEdit>(dialog.get(), "minutesEdit"), "123456");
  QTest::keyClicks(child<QLineEdit>(dialog.get(), "hoursEdit"), "1a");
  QTest::keyClicks(child<QLineEdit>(dialog.get(), "daysEdit"), "98765");
  QTest::keyClicks(child<QLineEdit>(dialog.get(), "weeksEdit"), "4321");
  QTest::keyClicks(child<QLineEdit>(dialog.get(), "dayOfMonthEdit"), "5");
  auto *weekday = child<QComboBox>(dialog.get(), "weekdayCombo");
  weekday->setEditText("monday");
  click(dialog.get(), "onDayOfMonthRadio");
  EXPECT_EQ(fieldText(dialog.get(), "minutesEdit"), "1234");
  EXPECT_EQ(fieldText(dialog.get(), "daysEdit"), "987");
  EXPECT_EQ(fieldText(dialog.get(), "weeksEdit"), "43");

  program.prompter.answer(true);
  click(dialog.get(), "okButton");
  EXPECT_EQ(customLines().at(2), "101234001a98743x05" + savedStamp)
      << "a lower-case weekday is no weekday";

  auto named = openDialog(EntryKind::CurrentUser, "New entry", "");
  click(named.get(), "customizedRadio");
  type(named.get(), "nameEdit", "Sunday job");
  type(named.get(), "commandEdit", "job");
  child<QComboBox>(named.get(), "weekdayCombo")->setCurrentIndex(6);
  click(named.get(), "onlyOnWeekdayRadio");
  program.prompter.answer(true);
  click(named.get(), "okButton");
  EXPECT_EQ(customLines().at(6), "090000000000000100" + savedStamp) << "Sunday is digit 1";
}

} // namespace
} // namespace lw::test
