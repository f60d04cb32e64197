// The help's page on the command line, in every language, against the command table that
// --help, the argument checks and the dispatch read: a command, option or kind added to the
// table and not to the pages fails here.
#include "cli/CommandTable.h"
#include "cli/Commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace lw::test {
namespace {

std::string page(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CommandLineHelp, EveryCommandOptionAndKindIsOnEveryLanguagesPage) {
  // What the page must show: each command as typed, each option, each kind word of either
  // system as a word of code.
  std::vector<std::string> words;
  const cli::Options options;
  for (const auto &command : cli::commands()) {
    words.push_back("launchwright " + std::string(command.name));
    for (const auto option : command.options)
      words.push_back("--" + (options.*option).names().first().toStdString());
  }
  for (const char *kind : {"customized", "user", "machine"}) {
    ASSERT_TRUE(cli::kindsOfWord(kind)) << kind;
    words.push_back("<code>" + std::string(kind) + "</code>");
  }
  for (const auto kind : cli::logonWords) {
    ASSERT_TRUE(cli::kindsOfWord(kind)) << kind;
    words.push_back("<code>" + std::string(kind) + "</code>");
  }
  for (const char *language : {"", "de"}) {
    const auto path = std::filesystem::path(LW_HELP_PAGES) / language / "commandline.htm";
    const std::string text = page(path);
    ASSERT_FALSE(text.empty()) << path;
    for (const auto &word : words)
      EXPECT_NE(text.find(word), std::string::npos) << word << " is missing from " << path;
  }
}

} // namespace
} // namespace lw::test
