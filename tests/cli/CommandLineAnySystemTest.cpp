// The built command line as a user starts it on any system, in an installation of its own:
// what reaches the shell and a pipe, and the commands whose files are the same everywhere.
#include "Installation.h"

#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

// Typed at the system's shell as "launchwright ...": the exit status is the shell's, and a
// listing read through a pipe carries a name outside ASCII as its UTF-8 bytes.
TEST(CommandLineTool, TheShellGetsTheExitStatusAndAPipeTheUtf8Bytes) {
  const Installation lw;
  const std::string name = "Caf\xC3\xA9 \xE2\x98\x95 \xD0\x9F\xD0\xBE\xD1\x87\xD1\x82\xD0\xB0";
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", name, "--command", "mail"}).status, 0);
  const struct {
    const char *script;
    int status;
  } cases[] = {{"launchwright frobnicate", 2},
               {"launchwright list", 0},
               {"launchwright check Nothing", 2},
               {"launchwright disable --kind customized --name Nothing", 2}};
  for (const auto &c : cases) {
    const Outcome run = lw.shell(c.script);
    EXPECT_EQ(run.status, c.status) << c.script << ": " << run.err;
  }
  const QJsonObject entry = entryNamed(listJson(lw), QString::fromUtf8(name));
  EXPECT_EQ(entry["kind"].toString(), "customized");
  EXPECT_FALSE(entry.contains("name_hex")) << "the name did not arrive as UTF-8";
  const Outcome text = lw.run({"list", "--no-legend"});
  EXPECT_NE(text.out.find("\t" + name + "\t"), std::string::npos) << text.out;
  // The same bytes on every system: no line end of the C library's text mode.
  EXPECT_EQ(text.out.find('\r'), std::string::npos) << text.out;
}

// A Windows command reads and copies as it was typed: every text form prints a backslash as it
// is (only what could forge a row is escaped, as the Linux listing tests show).
TEST(CommandLineTool, TextOutputPrintsBackslashesAsTheyAre) {
  const Installation lw;
  const std::string name = "Tools\\nightly";
  const std::string command = "\"C:\\Program Files\\x.exe\" \\\\server\\share";
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", name, "--command", command}).status,
            0);
  const struct {
    const char *slip; // the one-line mistake the row catches
    std::vector<std::string> arguments;
    std::string printed; // a part of the output; empty for a step without output
  } rows[] = {
      {"a backslash escaped in a cell", {"list", "--no-legend"}, "\t" + command + "\t"},
      {"a backslash escaped in a sentence", {"check", name}, "Customized \"" + name + "\": "},
      {"", {"delete", "--kind", "customized", "--name", name}, ""},
      {"a backslash escaped in a record", {"restore", "--list"}, "\t" + command + "\n"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    const Outcome run = lw.run(row.arguments);
    EXPECT_NE(run.out.find(row.printed), std::string::npos) << run.out << run.err;
  }
}

TEST(CommandLineTool, CustomizedEntryComesBackWithItsRuleStampAndSwitch) {
  const Installation lw;
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", "Weekly", "--command", "/bin/true",
                    "--schedule", "every:2w"})
                .status,
            0);
  ASSERT_EQ(lw.run({"disable", "--kind", "customized", "--name", "Weekly"}).status, 0);
  const auto before = entriesState(lw);
  ASSERT_EQ(lw.run({"delete", "--kind", "customized", "--name", "Weekly"}).status, 0);
  ASSERT_NE(entriesState(lw), before);
  EXPECT_EQ(lw.run({"restore", "1"}).status, 0);
  EXPECT_EQ(entriesState(lw), before);
}

TEST(CommandLineTool, CheckSucceedsOnlyWhenEveryCheckedEntryStarts) {
  const Installation lw;
  // The window speaks German here; the command line stays English for scripts.
  std::ofstream(lw.program / "config.ini", std::ios::binary)
      << "Language\r\n[Deutsch]\r\nHomepage\r\nhttps://example.org/\r\n";
  for (const char *name : {"One", "Two"})
    ASSERT_EQ(
        lw.run({"add", "--kind", "customized", "--name", name, "--command", Installation::aProgram})
            .status,
        0);
  const Outcome both = lw.run({"check"});
  EXPECT_EQ(both.status, 0) << both.out;
  ASSERT_EQ(lw.run({"disable", "--kind", "customized", "--name", "Two"}).status, 0);
  const Outcome all = lw.run({"check"});
  EXPECT_EQ(all.status, 1);
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 3) << "one sentence per entry";
  EXPECT_TRUE(all.out.starts_with("Customized \"One\": ")) << all.out;
  EXPECT_EQ(lw.run({"check", "One"}).status, 0);
  EXPECT_EQ(lw.run({"check", "Two"}).status, 1);
}

TEST(CommandLineTool, HelpAndVersionNeedNoFiles) {
  const Installation lw;
  fs::remove(lw.program / "0013trl.ini");
  const Outcome help = lw.run({"--help"});
  EXPECT_EQ(help.status, 0);
  // The help names this system's kinds and where its reference is, not the other system's.
#ifdef _WIN32
  const char *reference = "help.chm";
  const char *ownKind = "startup-folder, run-once, logon-task.";
  const char *otherKind = "systemd-unit";
#else
  const char *reference = "man launchwright";
  const char *ownKind = "systemd-unit, session-script, boot-job.";
  const char *otherKind = "startup-folder";
#endif
  EXPECT_NE(help.out.find(ownKind), std::string::npos) << help.out;
  EXPECT_EQ(help.out.find(otherKind), std::string::npos) << help.out;
  for (const char *command :
       {"list", "check", "show", "add", "delete", "disable", "enable", "restore"}) {
    EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    // The package ships the manual page or the help file, not the README.
    const Outcome own = lw.run({command, "--help"});
    EXPECT_EQ(own.status, 0) << command;
    EXPECT_NE(own.out.find(reference), std::string::npos) << command;
    EXPECT_EQ(own.out.find("README"), std::string::npos) << command;
  }
  EXPECT_EQ(lw.run({"--version"}).out, "launchwright 1.03\n");
}

} // namespace
} // namespace lw::test

namespace lw::test {
namespace {

// A mistyped command or option is refused as before, with the word that was likely meant.
TEST(CommandLineTool, AMistypedWordIsAnsweredWithTheNearestOne) {
  const Installation lw;
  const struct {
    const char *slip; // the one-line mistake the row catches
    std::vector<std::string> arguments;
    std::string hint; // empty: no hint at all
  } rows[] = {
      {"commands not offered", {"lis"}, "Did you mean 'list'?"},
      {"a swap counted as two steps", {"ilts"}, "Did you mean 'list'?"},
      {"options not offered", {"list", "--jsn"}, "Did you mean '--json'?"},
      {"another command's options offered", {"show", "--jsn"}, ""},
      {"no limit on the distance", {"frobnicate"}, ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    const Outcome run = lw.run(row.arguments);
    EXPECT_EQ(run.status, 2);
    if (row.hint.empty())
      EXPECT_EQ(run.err.find("Did you mean"), std::string::npos) << run.err;
    else
      EXPECT_NE(run.err.find(row.hint), std::string::npos) << run.err;
  }
}

} // namespace
} // namespace lw::test

namespace lw::test {
namespace {

// show, disable and enable take a name alone where check would find it in one kind only; and
// what they and check print names commands, not the window's menu items.
TEST(CommandLineTool, ANameAloneIsFoundAsCheckFindsIt) {
  const Installation lw;
  for (const char *name : {"Solo", "Both"})
    ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", name, "--command", "mail",
                      "--schedule", "every:90m"})
                  .status,
              0);
  ASSERT_EQ(lw.run({"add", "--kind", "user", "--name", "Both", "--command", "mail"}).status, 0);
  const struct {
    const char *slip; // the one-line mistake the row catches
    std::vector<std::string> arguments;
    int status;
    std::string printed; // in the output, or in the error when the status is 2
  } rows[] = {
      {"a unique name refused", {"disable", "Solo"}, 0, ""},
      {"the window's menu item named on the command line",
       {"check", "Solo"},
       1,
       "\"launchwright enable Solo\""},
      {"a name of two kinds taken as the first kind's",
       {"enable", "Both"},
       2,
       "customized and user"},
      {"a missing name refused otherwise than check refuses it",
       {"show", "Nobody"},
       2,
       "there is no startup entry named \"Nobody\""},
      {"the stored schedule code shown", {"show", "Solo"}, 0, "Solo\nmail\nEvery 90 minutes\n"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    const Outcome run = lw.run(row.arguments);
    EXPECT_EQ(run.status, row.status) << run.err;
    EXPECT_NE((row.status == 2 ? run.err : run.out).find(row.printed), std::string::npos)
        << run.out << run.err;
  }
}

} // namespace
} // namespace lw::test
