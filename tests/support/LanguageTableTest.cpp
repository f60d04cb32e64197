#include "support/LanguageTable.h"
#include "Fakes.h"
#include "support/FileError.h"
#include "support/TextFile.h"
#include "support/TextNumbers.h"

#include <gtest/gtest.h>
#include <set>

namespace lw {
namespace {

class LanguageTableTest : public ::testing::Test {
protected:
  LanguageTable load(const std::string &languageFile, const std::string &language = "[Test]") {
    program.writeFile("config.ini", "Language\n" + language + "\n");
    program.writeFile("0013trl.ini", languageFile);
    LanguageTable table(program.platform);
    table.load();
    return table;
  }
  test::TestProgram program;
};

TEST_F(LanguageTableTest, FillerLinesAreSkippedAndTheSixthCharacterDropped) {
  auto table = load("[Test]\n00165 ok\n   \n[EOL]\n");
  ASSERT_EQ(table.entries().size(), 1u);
  EXPECT_EQ(table.entries()[0].number, 165);
  EXPECT_EQ(table.getText(165), "ok");

  table = load("[Test]\n00100=Edit\n00110xAdd \n00120 \n00170\n\n1234\n[EOL]\n");
  EXPECT_EQ(table.getText(100), "Edit");
  EXPECT_EQ(table.getText(110), "Add ");
  EXPECT_EQ(table.getText(120), "");
  EXPECT_EQ(table.getText(170), "");
  EXPECT_EQ(table.entries().size(), 4u);
}

TEST_F(LanguageTableTest, NumberFieldCountsNonDigitsAsZeros) {
  auto table = load("[Test]\n0 2 3 three\nabcde none\n[EOL]\n");
  EXPECT_EQ(table.getText(203), "three");
  EXPECT_EQ(table.getText(0), "none");
}

TEST_F(LanguageTableTest, EndMarkerAndHeaderMatchExactly) {
  auto table = load("[test]\n00001 wrong section\n[EOL]\n [Test]\n00001 wrong too\n[EOL]\n"
                    "[Test]\n00002 two\n[eol]\n[EOL] \n[Other]\n00003 three\n[EOL]\n00004 after\n");
  EXPECT_EQ(table.getText(1), "");
  EXPECT_EQ(table.getText(2), "two");
  // "[eol]" and "[EOL] " do not end the section: entries with number 0 and empty text.
  EXPECT_EQ(table.getText(0), "");
  EXPECT_EQ(table.entries().size(), 5u);
  EXPECT_EQ(table.getText(3), "three"); // another header inside the section is a plain line
  EXPECT_EQ(table.getText(4), "");
}

TEST_F(LanguageTableTest, FirstOfTwoEqualNumbersWins) {
  auto table = load("[Test]\r\n00100 first\r\n00100 second\r\n[EOL]");
  EXPECT_EQ(table.getText(100), "first");
  EXPECT_EQ(table.getText(999), "");
}

TEST_F(LanguageTableTest, LoadingAgainRereadsTheFile) {
  auto table = load("[Test]\n00100 before\n[EOL]\n");
  table.load();
  EXPECT_EQ(table.entries().size(), 1u);
  program.writeFile("0013trl.ini", "[Test]\n00100 after\n[EOL]\n");
  table.load();
  EXPECT_EQ(table.getText(100), "after");
  EXPECT_EQ(table.entries().size(), 1u);
}

TEST_F(LanguageTableTest, MissingSectionOrEndMarkerFailsAndKeepsTheTable) {
  auto table = load("[Test]\n00100 kept\n[EOL]\n");
  program.writeFile("config.ini", "Language\n[Missing]\n");
  try {
    table.load();
    FAIL() << "no error";
  } catch (const FileError &error) {
    EXPECT_EQ(error.path(), program.file("0013trl.ini"));
    EXPECT_NE(error.reason().find("[Missing]"), std::string::npos);
  }
  EXPECT_EQ(table.getText(100), "kept");

  program.writeFile("config.ini", "Language\n[Test]\n");
  program.writeFile("0013trl.ini", "[Test]\n00100 open ended\n");
  EXPECT_THROW(table.load(), FileError);
  EXPECT_EQ(table.getText(100), "kept");
}

TEST_F(LanguageTableTest, MissingFilesAreFileErrors) {
  LanguageTable table(program.platform);
  std::filesystem::remove(program.file("0013trl.ini"));
  EXPECT_THROW(table.load(), FileError);
  std::filesystem::remove(program.file("config.ini"));
  EXPECT_THROW(table.load(), FileError);
}

// A huge line or file is refused quickly, and the message quotes only the start of it.
TEST_F(LanguageTableTest, OversizedSettingsGiveAShortMessage) {
  const std::string wide = "[" + std::string(200 * 1024, 'x') + "]";
  const struct {
    std::string config;
    std::string languageFile;
  } cases[] = {
      {"Language\n" + wide + "\n", "[Test]\n00100 a\n[EOL]\n"},
      {"Language\n[Test]\n", "[Test]\n00100 " + std::string(textfile::settingsReadLimit, 'y')},
      {"Language\n[Test]\n" + std::string(textfile::settingsReadLimit, '\n'), "[Test]\n[EOL]\n"},
  };
  for (const auto &c : cases) {
    program.writeFile("config.ini", c.config);
    program.writeFile("0013trl.ini", c.languageFile);
    LanguageTable table(program.platform);
    try {
      table.load();
      ADD_FAILURE() << "loaded";
    } catch (const FileError &error) {
      EXPECT_LT(std::string(error.what()).size(), program.file("0013trl.ini").size() + 200);
    }
  }
  EXPECT_EQ(textfile::excerpt("short"), "short");
  EXPECT_EQ(textfile::excerpt("\xC3\xA4\xC3\xB6", 3), "\xC3\xA4\xE2\x80\xA6");
}

// Every number the program asks for must be in every section of the shipped file, and no
// section may leave a text empty.
TEST(ShippedLanguageFile, DefinesEveryNumberInEverySection) {
  test::TestProgram program;
  const std::string languageFile = program.readFile("0013trl.ini");
  int sections = 0;
  for (const char *header : {"[English]", "[Deutsch]"}) {
    SCOPED_TRACE(header);
    ASSERT_NE(languageFile.find(std::string(header) + "\r\n"), std::string::npos);
    program.writeFile("config.ini", std::string("Language\n") + header + "\n");
    LanguageTable table(program.platform);
    table.load();
    for (auto number : text::all)
      EXPECT_FALSE(table.getText(number).empty()) << "text " << number;
    // A second line of a number would never be shown: the first one wins.
    std::set<std::int32_t> seen;
    for (const TextEntry &entry : table.entries())
      EXPECT_TRUE(seen.insert(entry.number).second) << "two lines of text " << entry.number;
    ++sections;
  }
  EXPECT_EQ(sections, 2);

  // The shipped configuration selects a section that exists.
  test::TestProgram shipped;
  LanguageTable english(shipped.platform);
  english.load();
  EXPECT_EQ(english.getText(text::newEntryName), "New entry");
}

} // namespace
} // namespace lw
