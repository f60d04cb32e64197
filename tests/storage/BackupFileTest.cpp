#include "StoreTesting.h"

#include "support/FileError.h"
#include "support/TextNumbers.h"

namespace lw::test {
namespace {

constexpr auto machine = RegistryRoot::LocalMachine;
constexpr auto user = RegistryRoot::CurrentUser;
const std::string run = keys::run;

// An entry dialog stand-in that counts how often its modal loop was ended.
class DisplayedStore : public EntryStore {
public:
  using EntryStore::EntryStore;
  int ended = 0;

protected:
  void endDialog() override { ++ended; }
};

class BackupTest : public StoreTest {
protected:
  BackupTest() { texts.load(); }
  std::string text(std::int32_t number) const { return texts.getText(number); }
  std::vector<std::string> shownTexts() const {
    std::vector<std::string> all;
    for (const auto &shown : program.prompter.shown)
      all.push_back(shown.text);
    return all;
  }
  LanguageTable texts{program.platform};
};

TEST_F(BackupTest, DeletingRecordsTheEntryFirstThenRemovesAndReports) {
  program.registry.set(user, run, "Tool", "C:\\tool.exe /q");
  program.prompter.answer(true);

  EXPECT_EQ(store.removeWithBackup(1, "Tool", "C:\\tool.exe /q"), RemovalOutcome::Removed);

  EXPECT_EQ(backupFile(), emptyBackupFile() + recordBytes("Deleted or changed on 2006/6/30 at 9:5:",
                                                          "Tool", "C:\\tool.exe /q", "1"));
  EXPECT_FALSE(program.registry.get(user, run, "Tool"));
  ASSERT_EQ(program.prompter.shown.size(), 2u);
  EXPECT_TRUE(program.prompter.shown[0].question);
  EXPECT_EQ(program.prompter.shown[0].text, text(text::deleteQuestion));
  EXPECT_EQ(program.prompter.shown[0].caption, "Kestrumsoft Launchwright");
  EXPECT_FALSE(program.prompter.shown[1].question);
  EXPECT_EQ(program.prompter.shown[1].text, text(text::deletedNotice));
  EXPECT_EQ(program.prompter.shown[1].caption, "Kestrumsoft Launchwright");
  EXPECT_FALSE(store.changed);
}

TEST_F(BackupTest, DeleteAnsweredNoChangesNothing) {
  program.registry.set(machine, run, "Tool", "x");
  store.customLines = block("Tool", "x");
  store.writeEntries();
  const std::string custom = customFile();
  program.prompter.answer(false).answer(false);

  EXPECT_EQ(store.removeWithBackup(0, "Tool", "x"), RemovalOutcome::Declined);
  EXPECT_EQ(store.removeWithBackup(2, "Tool", "x"), RemovalOutcome::Declined);

  EXPECT_EQ(backupFile(), emptyBackupFile());
  EXPECT_EQ(customFile(), custom);
  EXPECT_EQ(program.registry.calls(), 0);
  EXPECT_EQ(program.prompter.shown.size(), 2u);
}

TEST_F(BackupTest, RecordsAccumulateEvenForAbsentValues) {
  store.quiet = true;
  program.clock.set(2024, 12, 31, 23, 59);
  store.removeWithBackup(1, "Gone", "never there");
  program.clock.set(2025, 1, 2, 0, 0);
  store.removeWithBackup(1, "Gone", "never there");

  EXPECT_EQ(
      backupFile(),
      emptyBackupFile() +
          recordBytes("Deleted or changed on 2024/12/31 at 23:59:", "Gone", "never there", "1") +
          recordBytes("Deleted or changed on 2025/1/2 at 0:0:", "Gone", "never there", "1"));
  EXPECT_TRUE(program.prompter.shown.empty()); // quiet: neither question nor report
}

TEST_F(BackupTest, CustomizedRemovalTakesEveryBlockOfThatName) {
  store.customLines = concat({block("Job", "a"), block("Other", "b"), block("Job", "c")});
  store.writeEntries();
  store.quiet = true;

  EXPECT_EQ(store.removeWithBackup(2, "Job", "a"), RemovalOutcome::Removed);

  EXPECT_EQ(readBack(), block("Other", "b"));
  EXPECT_EQ(backupFile(),
            emptyBackupFile() +
                recordBytes("Deleted or changed on 2006/6/30 at 9:5:", "Job", "a", "2"));
  // No Run value is touched; only the entry's switch-off, if any, is forgotten.
  EXPECT_EQ(program.registry.calls(), program.registry.removals);
  EXPECT_EQ(program.registry.removals, 1);
}

TEST_F(BackupTest, DisplayedDialogClosesOnlyAfterARealRemoval) {
  DisplayedStore dialog(program.platform);
  dialog.oldKind = 1;
  dialog.quiet = true;
  program.registry.set(user, run, "A", "a");
  EXPECT_EQ(dialog.removeWithBackup(1, "A", "a"), RemovalOutcome::Removed);
  EXPECT_TRUE(dialog.changed);
  EXPECT_EQ(dialog.ended, 1);

  DisplayedStore hidden(program.platform);
  hidden.quiet = true;
  EXPECT_EQ(hidden.removeWithBackup(1, "A", "a"), RemovalOutcome::Removed);
  EXPECT_FALSE(hidden.changed);
  EXPECT_EQ(hidden.ended, 0);

  DisplayedStore declined(program.platform);
  declined.oldKind = 0;
  program.prompter.answer(false);
  EXPECT_EQ(declined.removeWithBackup(0, "A", "a"), RemovalOutcome::Declined);
  EXPECT_FALSE(declined.changed);
  EXPECT_EQ(declined.ended, 0);
}

TEST_F(BackupTest, FailedRegistryDeletionIsToldAndNotReportedAsDone) {
  program.registry.set(machine, run, "System", "sys.exe");
  program.registry.denyWrites(machine);
  DisplayedStore dialog(program.platform);
  dialog.oldKind = 0;
  program.prompter.answer(true);

  EXPECT_EQ(dialog.removeWithBackup(0, "System", "sys.exe"), RemovalOutcome::Failed);

  EXPECT_EQ(program.registry.get(machine, run, "System"), "sys.exe");
  EXPECT_EQ(shownTexts(), (std::vector{text(text::deleteQuestion), text(text::removeFailed)}));
  EXPECT_FALSE(dialog.changed);
  EXPECT_EQ(dialog.ended, 0);

  // Quiet does not hide a failure either.
  program.prompter.shown.clear();
  dialog.quiet = true;
  EXPECT_EQ(dialog.removeWithBackup(0, "System", "sys.exe"), RemovalOutcome::Failed);
  EXPECT_EQ(shownTexts(), std::vector{text(text::removeFailed)});
}

TEST_F(BackupTest, LineBreaksAndUnknownKindsAreRefusedBeforeAnythingIsWritten) {
  program.registry.set(user, run, "A", "a");
  EXPECT_EQ(store.removeWithBackup(1, "A\nB", "a"), RemovalOutcome::Failed);
  EXPECT_EQ(store.removeWithBackup(1, "A", "a\r\nb"), RemovalOutcome::Failed);
  EXPECT_EQ(store.removeWithBackup(3, "A", "a"), RemovalOutcome::Failed);
  EXPECT_EQ(store.removeWithBackup(-1, "A", "a"), RemovalOutcome::Failed);

  EXPECT_EQ(shownTexts(),
            (std::vector{text(text::lineBreakRefused), text(text::lineBreakRefused),
                         text(text::unknownKindRefused), text(text::unknownKindRefused)}));
  EXPECT_EQ(backupFile(), emptyBackupFile());
  EXPECT_EQ(program.registry.get(user, run, "A"), "a");
}

TEST_F(BackupTest, UnreadableFilesStopTheRemovalBeforeAnythingIsRemoved) {
  program.registry.set(user, run, "A", "a");
  const std::string foreign = "notes of mine\r\n";

  // An unrecognised backup file is kept, and so is the entry.
  setBackupFile(foreign);
  store.quiet = true;
  try {
    store.removeWithBackup(1, "A", "a");
    ADD_FAILURE() << "no error";
  } catch (const FileError &error) {
    EXPECT_EQ(error.path(), program.file("0013bkp.ini"));
    EXPECT_EQ(error.reason(), unrecognisedContentReason);
  }
  EXPECT_EQ(backupFile(), foreign);
  EXPECT_EQ(program.registry.get(user, run, "A"), "a");

  // A missing backup file: the entry stays.
  std::filesystem::remove(program.file("0013bkp.ini"));
  EXPECT_THROW(store.removeWithBackup(1, "A", "a"), FileError);
  EXPECT_EQ(program.registry.get(user, run, "A"), "a");

  // A customized entry whose file is not recognised gets no record for a removal that cannot
  // happen.
  setBackupFile(emptyBackupFile());
  setCustomFile(foreign);
  EXPECT_THROW(store.removeWithBackup(2, "A", "a"), FileError);
  EXPECT_EQ(backupFile(), emptyBackupFile());
  EXPECT_EQ(customFile(), foreign);
  EXPECT_TRUE(program.prompter.shown.empty());
}

TEST_F(BackupTest, DataFileThatIsAFolderIsNamedBeforeAnythingIsWritten) {
  const std::string entries = customFile();
  const std::string backup = backupFile();
  for (const char *name : {"0013cst.ini", "0013bkp.ini", "config.ini", "0013trl.ini"}) {
    for (const int kind : {1, 2}) {
      const std::string saved = program.readFile(name);
      std::filesystem::remove(program.file(name));
      std::filesystem::create_directory(program.file(name));
      program.registry.set(user, run, "A", "a");
      store.quiet = true;
      try {
        store.removeWithBackup(kind, "A", "a");
        ADD_FAILURE() << name << " kind " << kind;
      } catch (const FileError &error) {
        EXPECT_EQ(error.path(), program.file(name)) << kind;
      }
      std::filesystem::remove(program.file(name));
      program.writeFile(name, saved);
      EXPECT_EQ(customFile(), entries) << name << " kind " << kind;
      EXPECT_EQ(backupFile(), backup) << name << " kind " << kind;
      EXPECT_EQ(program.registry.get(user, run, "A"), "a") << name << " kind " << kind;
    }
  }
}

TEST_F(BackupTest, HandEditedFilesAreReadAsWrittenAndKept) {
  setBackupFile("\xEF\xBB\xBF"
                "Kestrumsoft Launchwright - Backup File\nchanged rule\nnot empty\n"
                "my own note\n\nDeleted or changed on 2001/1/1 at 1:1:\nX\nx\n1\n");
  store.readBackupFile();
  EXPECT_EQ(store.backupLines,
            (std::vector<std::string>{"my own note", "",
                                      "Deleted or changed on 2001/1/1 at 1:1:", "X", "x", "1"}));
  store.writeBackupFile();
  EXPECT_EQ(backupFile(),
            emptyBackupFile() +
                "my own note\r\n\r\nDeleted or changed on 2001/1/1 at 1:1:\r\nX\r\nx\r\n1\r\n");

  setBackupFile("Kestrumsoft Launchwright - Backup file\r\n===\r\n\r\nDeleted or\r\n");
  store.readBackupFile();
  EXPECT_TRUE(store.backupLines.empty());

  setBackupFile("");
  store.readBackupFile();
  EXPECT_TRUE(store.backupLines.empty());
  store.writeBackupFile();
  EXPECT_EQ(backupFile(), emptyBackupFile());
}

} // namespace
} // namespace lw::test
