// The full copies beside the backup file: never lost to a hand edit or a cut, never used
// through a link, and a restore cut short after its write is finished without a second one.
#include "StoreTesting.h"

#include "storage/BackupCopies.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <filesystem>
#include <functional>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

constexpr auto user = RegistryRoot::CurrentUser;

class BackupCopiesTest : public StoreTest {
protected:
  std::size_t copyCount() const {
    std::error_code error;
    std::size_t count = 0;
    for (fs::directory_iterator at(program.file("0013bkp.d"), error), end; !error && at != end;
         at.increment(error))
      ++count;
    return count;
  }
  void removeBoth() {
    program.startup.put(user, "A", "a");
    program.startup.put(user, "B", "b");
    ASSERT_EQ(store.removeWithBackup(EntryKind::CurrentUser, "A", "a"), RemovalOutcome::Removed);
    ASSERT_EQ(store.removeWithBackup(EntryKind::CurrentUser, "B", "b"), RemovalOutcome::Removed);
    ASSERT_EQ(copyCount(), 2u);
  }

  Toolbox toolbox{program.platform};
};

// Records A then B, each with its copy (body lines 0-4 and 5-9, file lines 4 and 9 begin them).
TEST_F(BackupCopiesTest, RecordsChangedOrCutByHandKeepTheirCopiesAndAreNamed) {
  struct Row {
    std::string what;
    std::function<void(std::string &)> edit;
    bool writesDenied;
    std::size_t restore; // the intact record's number now
    std::vector<std::size_t> unreadableLines;
    std::size_t copiesLeft;
  };
  const auto firstHeader = [](std::string &bytes) { return bytes.find("Deleted or"); };
  const Row rows[] = {
      {"header marker changed", [&](std::string &b) { b[firstHeader(b)] = 'X'; }, false, 1, {4}, 1},
      {"header date changed",
       [&](std::string &b) { b[firstHeader(b) + 25] = '7'; },
       false,
       2,
       {},
       1},
      {"cut midway",
       [](std::string &b) { b.resize(b.rfind("Deleted or") + 44); },
       false,
       1,
       {9},
       1},
      {"failed restore", [&](std::string &b) { b[firstHeader(b)] = 'X'; }, true, 1, {4}, 2},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(program.file("0013bkp.d"));
    setBackupFile(emptyBackupFile());
    program.startup.allowWrites(user);
    removeBoth();
    std::string bytes = backupFile();
    row.edit(bytes);
    setBackupFile(bytes);
    if (row.writesDenied)
      program.startup.denyWrites(user);

    store.readBackupFile();
    std::vector<std::size_t> lines;
    for (const std::size_t at : unreadableRecords(store.backupLines))
      lines.push_back(backupFileLine(at));
    EXPECT_EQ(lines, row.unreadableLines);
    EXPECT_EQ(restoreRecord(store, toolbox, row.restore).restored, row.writesDenied ? 0 : 1);
    EXPECT_EQ(copyCount(), row.copiesLeft) << "only the restored record's copy goes";
  }
}

TEST_F(BackupCopiesTest, CopiesFolderThatIsALinkIsNeitherWrittenNorReadThrough) {
  const fs::path elsewhere = program.dir.path() / "elsewhere";
  fs::create_directory(elsewhere);
  std::error_code linked;
  fs::create_directory_symlink(elsewhere, program.file("0013bkp.d"), linked);
  if (linked)
    GTEST_SKIP() << "no folder links here: " << linked.message();
  program.startup.put(user, "A", "a");
  setBackupFile(emptyBackupFile());

  try {
    store.removeWithBackup(EntryKind::CurrentUser, "A", "a");
    ADD_FAILURE() << "removed through a linked copies folder";
  } catch (const FileError &error) {
    EXPECT_EQ(error.path(), program.file("0013bkp.d"));
    EXPECT_EQ(error.reason(), linkedCopiesFolderReason);
  }
  EXPECT_EQ(program.startup.get(user, "A"), "a");
  EXPECT_EQ(backupFile(), emptyBackupFile());
  EXPECT_TRUE(fs::is_empty(elsewhere));

  // A copy put there is never read: the record stays and says why.
  program.startup.remove(user, "A");
  setBackupFile(emptyBackupFile() +
                recordBytes("Deleted or changed on 2006/6/30 at 9:5:", "A", "a", "1"));
  store.readBackupFile();
  textfile::writeAtomically((elsewhere / copyFileName(store.backupLines, 0)).string(),
                            copyBytes(store.backupLines, {"chosen", {}, false, {}, false}));
  const ReversalResult result = restoreRecord(store, toolbox, 1);
  EXPECT_EQ(result.restored, 0);
  EXPECT_NE(result.last.why.find(linkedCopiesFolderReason), std::string::npos);
  EXPECT_FALSE(program.startup.get(user, "A"));
  EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 1);
}

// A restore killed after its write: the entry is back, byte for byte, and its record is still
// there. Restoring that record again only takes it out.
TEST_F(BackupCopiesTest, EntryAlreadyBackOnlyLeavesTheBackupFile) {
  struct Row {
    EntryKind kind;
    std::function<void()> putBack;
  };
  const Row rows[] = {
      {EntryKind::CurrentUser, [&] { program.startup.put(user, "A", "a"); }},
      {EntryKind::Customized,
       [&] {
         store.customLines = block("A", "a");
         store.writeEntries();
       }},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(static_cast<int>(row.kind));
    setBackupFile(emptyBackupFile());
    setCustomFile(emptyCustomFile());
    row.putBack();
    ASSERT_EQ(store.removeWithBackup(row.kind, "A", "a"), RemovalOutcome::Removed);
    row.putBack();
    const int writes = program.startup.writes;

    EXPECT_EQ(restoreRecord(store, toolbox, 1).restored, 1);

    EXPECT_EQ(backupFile(), emptyBackupFile()) << "no record of the restored entry itself";
    EXPECT_EQ(copyCount(), 0u);
    EXPECT_EQ(program.startup.writes, writes);
    EXPECT_EQ(readBack(),
              row.kind == EntryKind::Customized ? block("A", "a") : std::vector<std::string>());
  }
}

} // namespace
} // namespace lw::test
