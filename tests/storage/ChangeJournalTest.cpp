// The change journal on real files: a writer killed mid-record, the bound, and records whose
// bytes would break a line.
#include "storage/ChangeJournal.h"

#include "support/TextFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

struct JournalFolder {
  fs::path dir = fs::temp_directory_path() / ("journal-" + std::to_string(::getpid()));
  JournalFolder() { fs::create_directories(dir); }
  ~JournalFolder() { fs::remove_all(dir); }
  std::string path() const { return (dir / "startup-changes.log").string(); }
};

ChangeRecord record(const std::string &name, std::string command = "/usr/bin/x") {
  return {0,  "2026-12-09T03:00:00Z", "user",          name, change::added,
          {}, std::move(command),     changeBy::other, {}};
}

// Slip: no cut of the torn last line before an append (the next record is glued to it and lost).
TEST(ChangeJournal, AWriterKilledMidRecordCostsOnlyThatRecord) {
  JournalFolder folder;
  const ChangeJournal journal(folder.path());
  journal.append({record("before")});
  const std::string command(1 << 20, 'c');
  // The writer dies half-way through its record, as a kill -9 in the middle of the write would
  // leave it, but at the same byte every time: the system ends a process whose write passes
  // its file size limit, after writing up to the limit.
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit limit{static_cast<rlim_t>(fs::file_size(journal.path()) + command.size() / 2),
                       RLIM_INFINITY};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    journal.append({record("killed", command)});
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer was not stopped in the middle of its record";
  journal.append({record("after")});
  std::vector<std::string> names;
  for (const auto &kept : journal.read())
    names.push_back(kept.name);
  EXPECT_EQ(names, (std::vector<std::string>{"before", "after"}));
}

// Slip: the oldest records kept instead of the newest; the actions of kept records lost.
TEST(ChangeJournal, KeepsTheNewestRecordsWithTheirActions) {
  JournalFolder folder;
  const ChangeJournal journal(folder.path());
  std::vector<ChangeRecord> full;
  for (std::size_t i = 0; i < ChangeJournal::keptRecords; ++i)
    full.push_back(record("entry" + std::to_string(i)));
  journal.append(full);
  journal.noteAction(ChangeJournal::keptRecords, changeAction::kept);
  const auto added = journal.append({record("newest")});
  EXPECT_EQ(added.front().number, ChangeJournal::keptRecords + 1);
  const auto records = journal.read();
  ASSERT_EQ(records.size(), ChangeJournal::keptRecords);
  EXPECT_EQ(records.front().name, "entry1");
  EXPECT_EQ(records.back().name, "newest");
  EXPECT_EQ(records[records.size() - 2].action, changeAction::kept);
}

// Slip: a field written as it is (a tab or a line end splits the record).
TEST(ChangeJournal, AnyBytesOfANameOrCommandComeBackAsTheyWere) {
  JournalFolder folder;
  const ChangeJournal journal(folder.path());
  const std::string name = "tab\there\nnewline\\back\rslash";
  journal.append({record(name, "cmd \\t literal\t")});
  const auto records = journal.read();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].name, name);
  EXPECT_EQ(records[0].after, "cmd \\t literal\t");
}

} // namespace
} // namespace lw::test
