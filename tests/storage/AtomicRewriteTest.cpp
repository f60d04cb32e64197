#include "StoreTesting.h"

#include "support/FileError.h"

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace lw::test {
namespace {

std::vector<std::string> manyEntries(const std::string &tag) {
  std::vector<std::string> lines;
  for (int i = 0; i < 10000; ++i) {
    const auto more = block(tag + " entry " + std::to_string(i),
                            "/usr/bin/" + tag + " --number " + std::to_string(i));
    lines.insert(lines.end(), more.begin(), more.end());
  }
  return lines;
}

// Runs `body` in a child process; the exit status is 0 when it returned true.
template <typename Body> pid_t spawn(Body body) {
  const pid_t child = ::fork();
  if (child == 0) {
    bool ok = false;
    try {
      ok = body();
    } catch (...) {
    }
    ::_exit(ok ? 0 : 1);
  }
  return child;
}

TEST_F(StoreTest, KilledRewriteLeavesTheOldOrTheNewFileNeverATornOne) {
  const auto oldLines = manyEntries("old");
  const auto newLines = manyEntries("new");
  store.customLines = oldLines;
  store.writeEntries();
  const std::string oldBytes = customFile();
  const std::string newBytes = customEntriesBytes(newLines);

  for (int round = 0; round < 6; ++round) {
    const pid_t child = spawn([&] {
      EntryStore writer(program.platform);
      for (int i = 0;; ++i) {
        writer.customLines = i % 2 == 0 ? newLines : oldLines;
        writer.writeEntries();
      }
      return true;
    });
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(40 + 37 * round));
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

    const std::string now = customFile();
    EXPECT_TRUE(now == oldBytes || now == newBytes)
        << "round " << round << ": a file of " << now.size() << " bytes";
  }
  // The file is still usable afterwards.
  store.addEntry("after", "cmd", "s");
  EXPECT_EQ(readBack().size(), oldLines.size() + 4);
}

TEST_F(StoreTest, FailedWriteThrowsAndKeepsTheOldFile) {
  store.customLines = block("Kept", "kept.exe");
  store.writeEntries();
  setBackupFile(emptyBackupFile() +
                recordBytes("Deleted or changed on 2006/6/1 at 8:0:", "A", "a", "1"));
  const std::string custom = customFile();
  const std::string backup = backupFile();

  // The file size limit makes every write past 4 KiB fail, as a full disk would.
  const pid_t child = spawn([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    EntryStore writer(program.platform);
    int refused = 0;
    try {
      writer.customLines = manyEntries("big");
      writer.writeEntries();
    } catch (const FileError &) {
      ++refused;
    }
    try {
      writer.readBackupFile();
      writer.backupLines.resize(20000, "a line of the backup file that will not fit");
      writer.writeBackupFile();
    } catch (const FileError &) {
      ++refused;
    }
    return refused == 2;
  });
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a failed write was not reported";
  EXPECT_EQ(customFile(), custom);
  EXPECT_EQ(backupFile(), backup);

  // A file that cannot be replaced at all (its place is taken by a folder).
  std::filesystem::remove(program.file("0013cst.ini"));
  std::filesystem::create_directory(program.file("0013cst.ini"));
  store.customLines = block("x", "y");
  EXPECT_THROW(store.writeEntries(), FileError);
}

} // namespace
} // namespace lw::test
