#include "StoreTesting.h"

#include "support/FileError.h"
#include "support/TextNumbers.h"

namespace lw::test {
namespace {

constexpr auto machine = RegistryRoot::LocalMachine;
constexpr auto user = RegistryRoot::CurrentUser;

class BackupTest : public StoreTest {};

// A record is kept exactly when the entry went, and the store asks and tells nothing: the
// front ends do.
TEST_F(BackupTest, RemovalKeepsARecordExactlyWhenTheEntryWent) {
  struct Row {
    EntryKind kind;
    std::string name;
    std::string command;
    RemovalOutcome outcome;
    bool recorded;
  };
  const Row rows[] = {
      {EntryKind::CurrentUser, "Tool", "C:\\tool.exe /q", RemovalOutcome::Removed, true},
      {EntryKind::Customized, "Job", "a", RemovalOutcome::Removed, true},
      {EntryKind::AllUsers, "System", "sys.exe", RemovalOutcome::Failed, false},
      {EntryKind::CurrentUser, "Gone", "never there", RemovalOutcome::NothingToRemove, false},
      {EntryKind::CurrentUser, "tool", "a name in another case", RemovalOutcome::NothingToRemove,
       false},
      {EntryKind::Customized, "Gone", "x", RemovalOutcome::NothingToRemove, false},
      {EntryKind::CurrentUser, "Tool\nB", "a", RemovalOutcome::Refused, false},
      {EntryKind::CurrentUser, "Tool", "a\r\nb", RemovalOutcome::Refused, false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.name + " " + row.command);
    program.startup.put(user, "Tool", "C:\\tool.exe /q");
    program.startup.put(machine, "System", "sys.exe");
    program.startup.denyWrites(machine);
    store.customLines = concat({block("Job", "a"), block("Other", "b"), block("Job", "c")});
    store.writeEntries();
    setBackupFile(emptyBackupFile());

    EXPECT_EQ(store.removeWithBackup(row.kind, row.name, row.command), row.outcome);

    const std::string kindLine = std::to_string(static_cast<int>(row.kind));
    EXPECT_EQ(backupFile(),
              emptyBackupFile() + (row.recorded ? recordBytes("Deleted or changed on 2006/6/30 "
                                                              "at 9:5:",
                                                              row.name, row.command, kindLine)
                                                : std::string()));
    const bool userGone =
        row.outcome == RemovalOutcome::Removed && row.kind == EntryKind::CurrentUser;
    EXPECT_EQ(program.startup.get(user, "Tool").has_value(), !userGone);
    EXPECT_EQ(program.startup.get(machine, "System"), "sys.exe");
    // A customized removal takes every block of the name.
    EXPECT_EQ(readBack(),
              row.outcome == RemovalOutcome::Removed && row.kind == EntryKind::Customized
                  ? block("Other", "b")
                  : concat({block("Job", "a"), block("Other", "b"), block("Job", "c")}));
  }
  EXPECT_TRUE(program.prompter.shown.empty());
}

TEST_F(BackupTest, UnreadableFilesStopTheRemovalBeforeAnythingIsRemoved) {
  program.startup.put(user, "A", "a");
  const std::string foreign = "notes of mine\r\n";

  // An unrecognised backup file is kept, and so is the entry.
  setBackupFile(foreign);
  try {
    store.removeWithBackup(EntryKind::CurrentUser, "A", "a");
    ADD_FAILURE() << "no error";
  } catch (const FileError &error) {
    EXPECT_EQ(error.path(), program.file("0013bkp.ini"));
    EXPECT_EQ(error.reason(), unrecognisedContentReason);
  }
  EXPECT_EQ(backupFile(), foreign);
  EXPECT_EQ(program.startup.get(user, "A"), "a");

  // A missing backup file: the entry stays.
  std::filesystem::remove(program.file("0013bkp.ini"));
  EXPECT_THROW(store.removeWithBackup(EntryKind::CurrentUser, "A", "a"), FileError);
  EXPECT_EQ(program.startup.get(user, "A"), "a");

  // A customized entry whose file is not recognised gets no record for a removal that cannot
  // happen.
  setBackupFile(emptyBackupFile());
  setCustomFile(foreign);
  EXPECT_THROW(store.removeWithBackup(EntryKind::Customized, "A", "a"), FileError);
  EXPECT_EQ(backupFile(), emptyBackupFile());
  EXPECT_EQ(customFile(), foreign);
}

TEST_F(BackupTest, DataFileThatIsAFolderIsNamedBeforeAnythingIsWritten) {
  const std::string entries = customFile();
  const std::string backup = backupFile();
  for (const char *name : {"0013cst.ini", "0013bkp.ini"}) {
    for (const EntryKind kind : {EntryKind::CurrentUser, EntryKind::Customized}) {
      const std::string saved = program.readFile(name);
      std::filesystem::remove(program.file(name));
      std::filesystem::create_directory(program.file(name));
      program.startup.put(user, "A", "a");
      try {
        store.removeWithBackup(kind, "A", "a");
        ADD_FAILURE() << name << " kind " << static_cast<int>(kind);
      } catch (const FileError &error) {
        EXPECT_EQ(error.path(), program.file(name)) << static_cast<int>(kind);
      }
      std::filesystem::remove(program.file(name));
      program.writeFile(name, saved);
      EXPECT_EQ(customFile(), entries) << name << " kind " << static_cast<int>(kind);
      EXPECT_EQ(backupFile(), backup) << name << " kind " << static_cast<int>(kind);
      EXPECT_EQ(program.startup.get(user, "A"), "a") << name << " kind " << static_cast<int>(kind);
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
