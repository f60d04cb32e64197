// Odd bytes that hand edits and other editors leave in the data files: every line survives a
// rewrite, and nothing is read past the end.
#include "StoreTesting.h"

#include "storage/Reversal.h"
#include "support/FileError.h"
#include "support/TextFile.h"

namespace lw::test {
namespace {

using Lines = std::vector<std::string>;
const std::string header = "Kestrumsoft Launchwright - Customized Entries";

TEST_F(StoreTest, OddBytesSurviveARewriteLineForLine) {
  const std::vector<std::pair<std::string, Lines>> cases = {
      // A CR without an LF stays inside its line, also at the very end.
      {emptyCustomFile() + "a\rb\r\nc\r", {"a\rb", "c\r"}},
      {emptyCustomFile() + "x\r\r\ny\r\nz\r\n=====", {"x\r", "y", "z", "====="}},
      // NUL bytes and bytes above 127 are texts like any other.
      {emptyCustomFile() + std::string("n\0l\r\n\xE4\xF6\xFC", 8),
       {std::string("n\0l", 3), "\xE4\xF6\xFC"}},
      // Only the header line, with or without its end.
      {header, {}},
      {header + "\n", {}},
      {"\xEF\xBB\xBF", {}},
  };
  for (const auto &[bytes, lines] : cases) {
    setCustomFile(bytes);
    store.readEntries();
    EXPECT_EQ(store.customLines, lines);
    store.writeEntries();
    Lines expected = lines;
    if (!expected.empty() && expected.size() % 4 == 0)
      expected.back() = "=====";
    EXPECT_EQ(readBack(), expected);
  }

  // The header followed by a lone CR is not the header.
  setCustomFile(header + "\r");
  EXPECT_THROW(store.writeEntries(), FileError);
  EXPECT_EQ(customFile(), header + "\r");
}

TEST_F(StoreTest, BackupRecordsCutShortAtTheEndAreNeitherOfferedNorOverrun) {
  for (const std::string &tail : {std::string("Deleted or"), std::string("Deleted or\r\nName"),
                                  std::string("Deleted or\r\nName\r\ncmd")}) {
    setBackupFile(emptyBackupFile() + tail);
    Toolbox toolbox(program.platform);
    LanguageTable texts(program.platform);
    texts.load();
    EXPECT_EQ(
        reverseStartupChanges(store, toolbox, promptedAnswers(program.prompter, texts)).restored,
        0);
    EXPECT_TRUE(program.prompter.shown.empty());
    setBackupFile(emptyBackupFile() + tail + "\r\n");
    store.readBackupFile();
    EXPECT_EQ(store.backupLines, textfile::splitLines(tail));
  }
}

} // namespace
} // namespace lw::test
