#include "support/TextFile.h"
#include "Fakes.h"
#include "support/FileError.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <unistd.h>

namespace lw {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitLines, LfEndsALineAndACrBeforeItIsDropped) {
  EXPECT_EQ(textfile::splitLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(textfile::splitLines("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(textfile::splitLines("a\n\n"), (Lines{"a", ""}));
  EXPECT_EQ(textfile::splitLines(""), Lines{});
  EXPECT_EQ(textfile::splitLines("\n"), Lines{""});
  // Only a CR directly before the LF belongs to the line end.
  EXPECT_EQ(textfile::splitLines("a\rb\r\r\nc\r"), (Lines{"a\rb\r", "c\r"}));
}

TEST(ReadLines, SkipsAByteOrderMarkSoTheFirstLineStillMatches) {
  test::TempDir dir;
  const std::string path = (dir.path() / "config.ini").string();
  textfile::writeAtomically(path, "\xEF\xBB\xBFLanguage\r\n[English]\r\n");
  EXPECT_EQ(textfile::readLines(path), (Lines{"Language", "[English]"}));
  // Only at the very start of the file.
  textfile::writeAtomically(path, "a\n\xEF\xBB\xBF\n");
  EXPECT_EQ(textfile::readLines(path), (Lines{"a", "\xEF\xBB\xBF"}));
}

TEST(AtomicWrite, ReplacesTheWholeFileWithExactBytes) {
  test::TempDir dir;
  const std::string path = (dir.path() / "data.ini").string();
  textfile::writeAtomically(path, "first\r\nversion\r\n");
  textfile::writeAtomically(path, textfile::joinLines({"x", "", "ä"}));
  EXPECT_EQ(textfile::readBytes(path), "x\r\n\r\n\xc3\xa4\r\n");
  EXPECT_EQ(textfile::readLines(path), (Lines{"x", "", "\xc3\xa4"}));
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(AtomicWrite, FailedReplaceIsAFileErrorAndLeavesNoTemporaryFile) {
  // A folder in the file's place cannot be replaced by a rename, not even by root.
  test::TempDir dir;
  const auto target = dir.path() / "data.ini";
  std::filesystem::create_directory(target);
  textfile::writeAtomically((target / "inside").string(), "old");
  EXPECT_THROW(textfile::writeAtomically(target.string(), "new"), FileError);
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(textfile::readBytes((target / "inside").string()), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(AtomicWrite, MissingFolderIsAFileErrorNamingTheFile) {
  test::TempDir dir;
  const std::string path = (dir.path() / "absent" / "data.ini").string();
  try {
    textfile::writeAtomically(path, "x");
    FAIL() << "no error";
  } catch (const FileError &error) {
    EXPECT_EQ(error.path(), path);
  }
  EXPECT_THROW(textfile::readLines(path), FileError);
}

TEST(AppendLines, CutsAPartialLastLineThenAppends) {
  const std::string longTail(5000, 'y'); // past one 4096-byte read back from the end
  struct Row {
    const char *slip;
    std::optional<std::string> before; // nothing: no file yet
    std::string after;
  };
  const Row rows[] = {
      {"opened without making the file", std::nullopt, "a\n"},
      {"the last whole line taken for a partial one", "x\ny\n", "x\ny\na\n"},
      {"the partial line not cut off", "x\nyyyyy", "x\na\n"},
      {"a read back without a line end keeps the whole file", "yyy", "a\n"},
      {"each read back taken from the start of the file", "x\n" + longTail, "x\na\n"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    test::TempDir dir;
    const auto file = dir.path() / "journal.log";
    if (row.before)
      std::ofstream(file, std::ios::binary) << *row.before;
    textfile::appendLines(file.string(), "a\n");
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), row.after);
  }
}

} // namespace
} // namespace lw
