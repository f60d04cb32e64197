// What the entry dialog does where a save cannot go through as asked: another language's name
// for a new entry, a store that refuses the write or the removal, a line break, a missing file.

#include "EditingFixture.h"

#include "support/TextNumbers.h"

#include <QPushButton>
#include <filesystem>

namespace lw::test {
namespace {

using Lines = std::vector<std::string>;

class EntryDialogFaultsTest : public EditingTest {};

TEST_F(EntryDialogFaultsTest, AddIsAnAddInEveryLanguageOfTheTable) {
  program.writeFile("config.ini", "Language\r\n[Deutsch]\r\nHomepage\r\nhttps://example.com/\r\n");
  ASSERT_EQ(text(text::newEntryName), "Neuer Eintrag");

  for (const char *name : {"Neuer Eintrag", "New entry"}) {
    auto dialog = openDialog(EntryKind::CurrentUser, name, "");
    EXPECT_TRUE(dialog->changed()) << name;
    EXPECT_FALSE(child<QPushButton>(dialog.get(), "deleteEntryButton")->isEnabled()) << name;
    EXPECT_EQ(child<QPushButton>(dialog.get(), "cancelButton")->text(), "Abbrechen");
    type(dialog.get(), "commandEdit", "werkzeug");
    program.prompter.answer(true);
    click(dialog.get(), "okButton");
  }
  EXPECT_EQ(shownTexts(), (Lines{text(text::addQuestion), text(text::addedNotice),
                                 text(text::addQuestion), text(text::addedNotice)}));
  EXPECT_TRUE(backupLines().empty()) << "a new entry replaces nothing that could be recorded";
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Neuer Eintrag"), "werkzeug");
}

TEST_F(EntryDialogFaultsTest, RefusedRegistryWriteIsToldInsteadOfAnnounced) {
  program.startup.denyWrites(RegistryRoot::LocalMachine);

  auto adding = openDialog(EntryKind::CurrentUser, "New entry", "");
  click(adding.get(), "allUsersRadio");
  type(adding.get(), "commandEdit", "agent");
  program.prompter.answer(true);
  click(adding.get(), "okButton");
  EXPECT_EQ(shownTexts(),
            (Lines{text(text::addQuestion), text(text::saveFailed) + "\n\nNew entry.entry"}))
      << "the file it could not write is named";
  EXPECT_TRUE(adding->isVisible()) << "nothing was lost, so the user may choose another kind";

  click(adding.get(), "currentUserRadio");
  program.prompter.answer(true);
  click(adding.get(), "okButton");
  EXPECT_EQ(shownTexts().back(), text(text::addedNotice));
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "New entry"), "agent");
  EXPECT_FALSE(adding->isVisible());

  setRunValue(RegistryRoot::CurrentUser, "Notes", "notes");
  program.prompter.shown.clear();
  auto editing = openDialog(EntryKind::CurrentUser, "Notes", "notes");
  click(editing.get(), "allUsersRadio");
  program.prompter.answer(true);
  click(editing.get(), "okButton");
  EXPECT_EQ(shownTexts().back(), text(text::saveFailed) + "\n\nNotes.entry");
  EXPECT_FALSE(editing->isVisible());
  EXPECT_FALSE(runValue(RegistryRoot::CurrentUser, "Notes"));
  EXPECT_EQ(backupLines(),
            (Lines{"Deleted or changed on 2006/6/30 at 9:5:", "Notes", "notes", "1", ""}))
      << "the entry as it was can be brought back";
}

TEST_F(EntryDialogFaultsTest, FailedRemovalOfTheOldEntryWritesNoSecondOne) {
  setRunValue(RegistryRoot::LocalMachine, "Agent", "agent");
  program.startup.denyWrites(RegistryRoot::LocalMachine);
  auto dialog = openDialog(EntryKind::AllUsers, "Agent", "agent");
  click(dialog.get(), "currentUserRadio");
  program.prompter.answer(true);
  click(dialog.get(), "okButton");

  EXPECT_EQ(shownTexts().back(), text(text::removeFailed));
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(runValue(RegistryRoot::LocalMachine, "Agent"), "agent");
  EXPECT_FALSE(runValue(RegistryRoot::CurrentUser, "Agent"));
}

TEST_F(EntryDialogFaultsTest, LineBreakOrNoCommandIsRefusedAndNothingIsWritten) {
  setRunValue(RegistryRoot::CurrentUser, "Split", "first\nsecond");
  auto dialog = openDialog(EntryKind::CurrentUser, "Split", "first\nsecond");
  type(dialog.get(), "nameEdit", "Split again");
  click(dialog.get(), "okButton");
  EXPECT_EQ(shownTexts(), Lines{text(text::lineBreakRefused)});
  EXPECT_TRUE(dialog->isVisible());

  auto adding = openDialog(EntryKind::Customized, "New entry", "");
  type(adding.get(), "nameEdit", "two\rlines");
  type(adding.get(), "commandEdit", "tool");
  click(adding.get(), "okButton");
  EXPECT_EQ(shownTexts().back(), text(text::lineBreakRefused));
  EXPECT_TRUE(adding->isVisible());

  // Blanks alone are no command, for a new entry and an edit alike.
  for (EntryKind kind : {EntryKind::CurrentUser, EntryKind::Customized}) {
    auto blank = openDialog(kind, "New entry", "");
    type(blank.get(), "nameEdit", "Blank");
    type(blank.get(), "commandEdit", " \t ");
    click(blank.get(), "okButton");
    EXPECT_EQ(shownTexts().back(), text(text::noCommandRefused));
    EXPECT_TRUE(blank->isVisible());
  }
  type(dialog.get(), "nameEdit", "Split");
  type(dialog.get(), "commandEdit", "  ");
  click(dialog.get(), "okButton");
  EXPECT_EQ(shownTexts().back(), text(text::noCommandRefused));
  EXPECT_EQ(shownTexts().size(), 5u) << "nothing was asked";

  EXPECT_TRUE(backupLines().empty());
  EXPECT_TRUE(customLines().empty());
  EXPECT_EQ(program.startup.writes, 0);
  EXPECT_EQ(program.startup.removals, 0);
}

TEST_F(EntryDialogFaultsTest, RuleThatCanNeverComeDueAsksForWhatIsMissing) {
  struct Case {
    const char *rule;
    const char *dayOfMonth;
    std::int32_t asked; // 0: saved
    const char *focused;
  };
  for (const Case &c : {Case{"onlyOnWeekdayRadio", "", text::weekdayMissing, "weekdayCombo"},
                        Case{"onDayOfMonthRadio", "", text::dayOfMonthMissing, "dayOfMonthEdit"},
                        Case{"onDayOfMonthRadio", "0", text::dayOfMonthMissing, "dayOfMonthEdit"},
                        Case{"onDayOfMonthRadio", "32", text::dayOfMonthMissing, "dayOfMonthEdit"},
                        Case{"onDayOfMonthRadio", "31", 0, nullptr}}) {
    SCOPED_TRACE(std::string(c.rule) + " " + c.dayOfMonth);
    auto dialog = openDialog(EntryKind::CurrentUser, "New entry", "");
    click(dialog.get(), "customizedRadio");
    type(dialog.get(), "commandEdit", "job");
    type(dialog.get(), "dayOfMonthEdit", c.dayOfMonth);
    click(dialog.get(), c.rule);
    if (c.asked == 0)
      program.prompter.answer(true);
    const std::size_t told = shownTexts().size();
    click(dialog.get(), "okButton");
    if (c.asked == 0) {
      EXPECT_FALSE(customLines().empty());
      continue;
    }
    ASSERT_EQ(shownTexts().size(), told + 1);
    EXPECT_EQ(shownTexts().back(), text(c.asked));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->focusWidget()->objectName().toStdString(), c.focused);
    EXPECT_TRUE(customLines().empty());
  }
}

TEST_F(EntryDialogFaultsTest, MissingBackupFileStopsTheSaveAndKeepsTheDialogOpen) {
  setRunValue(RegistryRoot::CurrentUser, "Notes", "notes");
  std::filesystem::remove(program.file("0013bkp.ini"));
  auto dialog = openDialog(EntryKind::CurrentUser, "Notes", "notes");
  type(dialog.get(), "commandEdit", "notes --new");
  program.prompter.answer(true);
  click(dialog.get(), "okButton");

  ASSERT_EQ(program.prompter.shown.size(), 2u);
  const std::string report = program.prompter.shown.back().text;
  EXPECT_NE(report.find(text(text::fileErrorIntro)), std::string::npos) << report;
  EXPECT_NE(report.find("0013bkp.ini"), std::string::npos) << report;
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Notes"), "notes");
}

TEST_F(EntryDialogFaultsTest, ForeignBackupFileIsLeftAloneWithTheTextThatSaysHowToRepairIt) {
  setRunValue(RegistryRoot::CurrentUser, "Notes", "notes");
  program.writeFile("0013bkp.ini", "My own notes\r\n");
  auto dialog = openDialog(EntryKind::CurrentUser, "Notes", "notes");
  type(dialog.get(), "commandEdit", "notes --new");
  program.prompter.answer(true);
  click(dialog.get(), "okButton");

  ASSERT_EQ(program.prompter.shown.size(), 2u);
  const std::string report = program.prompter.shown.back().text;
  EXPECT_EQ(report, text(text::unrecognisedFile) + "\n\n" + program.file("0013bkp.ini"));
  EXPECT_EQ(program.readFile("0013bkp.ini"), "My own notes\r\n");
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(runValue(RegistryRoot::CurrentUser, "Notes"), "notes");
}

} // namespace
} // namespace lw::test
