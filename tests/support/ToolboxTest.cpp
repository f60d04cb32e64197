#include "support/Toolbox.h"
#include "Fakes.h"
#include "support/FileError.h"

#include <gtest/gtest.h>

namespace lw {
namespace {

TEST(TextToInteger, EveryCharacterIsADecimalPlace) {
  EXPECT_EQ(Toolbox::textToInteger("42"), 42);
  EXPECT_EQ(Toolbox::textToInteger("007"), 7);
  EXPECT_EQ(Toolbox::textToInteger("1a2"), 102);
  EXPECT_EQ(Toolbox::textToInteger("-5"), 5);
  EXPECT_EQ(Toolbox::textToInteger("7 "), 70);
  EXPECT_EQ(Toolbox::textToInteger(" 7"), 7);
  EXPECT_EQ(Toolbox::textToInteger(""), 0);
  EXPECT_EQ(Toolbox::textToInteger("12:30"), 12030);
}

TEST(TextToInteger, LongTextsWrapAroundInThirtyTwoBits) {
  EXPECT_EQ(Toolbox::textToInteger("2147483647"), 2147483647);
  EXPECT_EQ(Toolbox::textToInteger("2147483648"), static_cast<std::int32_t>(0x80000000u));
  EXPECT_EQ(Toolbox::textToInteger("4294967297"), 1);
  // Places far beyond ten digits must neither crash nor trip the sanitizers.
  EXPECT_EQ(Toolbox::textToInteger(std::string(60, '0') + "5"), 5);
  Toolbox::textToInteger(std::string(100, '9'));
}

TEST(PowerOf, CountsMultiplicationsAndWraps) {
  EXPECT_EQ(Toolbox::powerOf(10, 3), 1000);
  EXPECT_EQ(Toolbox::powerOf(10, 0), 1);
  EXPECT_EQ(Toolbox::powerOf(10, -2), 1);
  EXPECT_EQ(Toolbox::powerOf(-2, 3), -8);
  EXPECT_EQ(Toolbox::powerOf(10, 10), static_cast<std::int32_t>(1410065408));
}

TEST(PadWithZeros, PadsOnTheLeftAndNeverCuts) {
  EXPECT_EQ(Toolbox::padWithZeros("7", 2), "07");
  EXPECT_EQ(Toolbox::padWithZeros("123", 2), "123");
  EXPECT_EQ(Toolbox::padWithZeros("", 3), "000");
  EXPECT_EQ(Toolbox::padWithZeros("1a", 4), "001a");
}

TEST(ModuleDirectory, IsTheProgramFilesFolderWithoutSeparator) {
  test::TestProgram program;
  Toolbox toolbox(program.platform);
  program.location.executable = "/opt/Launch Wright/bin/launchwright";
  EXPECT_EQ(toolbox.moduleDirectory(), "/opt/Launch Wright/bin");
  EXPECT_EQ(toolbox.programFile("0013cst.ini"), "/opt/Launch Wright/bin/0013cst.ini");
  program.location.executable = "launchwright";
  EXPECT_EQ(toolbox.moduleDirectory(), "");
  program.location.executable = "";
  EXPECT_EQ(toolbox.moduleDirectory(), "");
}

class ConfigValue : public ::testing::Test {
protected:
  std::string valueOf(const std::string &config, const std::string &key) {
    program.writeFile("config.ini", config);
    return Toolbox(program.platform).configValue(key);
  }
  test::TestProgram program;
};

TEST_F(ConfigValue, LastOccurrenceOfAKeyWins) {
  EXPECT_EQ(valueOf("Language\nGerman\nLanguage\nEnglish\n", "Language"), "English");
  EXPECT_EQ(valueOf("Language\r\nGerman\r\nLanguage\r\nEnglish", "Language"), "English");
}

TEST_F(ConfigValue, KeyWithoutValueLineIsEmpty) {
  EXPECT_EQ(valueOf("Language\nEnglish\nHomepage", "Homepage"), "");
  EXPECT_EQ(valueOf("Language\nEnglish\nHomepage\n", "Homepage"), "");
  EXPECT_EQ(valueOf("Language\nEnglish\n", "Homepage"), "");
}

TEST_F(ConfigValue, ValueLineIsNeverReadAsAKey) {
  EXPECT_EQ(valueOf("Language\nLanguage\nFrench\n", "Language"), "Language");
}

TEST_F(ConfigValue, KeysMatchWholeLinesAndValuesKeepTheirBlanks) {
  EXPECT_EQ(valueOf("Language \nGerman\nlanguage\nFrench\n", "Language"), "");
  EXPECT_EQ(valueOf("Homepage\n  http://x.example/  \n", "Homepage"), "  http://x.example/  ");
}

TEST_F(ConfigValue, MissingFileIsAFileErrorNamingIt) {
  std::filesystem::remove(program.file("config.ini"));
  try {
    Toolbox(program.platform).configValue("Language");
    FAIL() << "no error";
  } catch (const FileError &error) {
    EXPECT_EQ(error.path(), program.file("config.ini"));
    EXPECT_FALSE(error.reason().empty());
  }
}

} // namespace
} // namespace lw
