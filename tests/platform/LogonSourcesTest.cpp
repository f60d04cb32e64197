// The Linux logon sources beside the autostart folders: the session's shell files, read in a
// temporary home, and the crontab's @reboot jobs, asked of a stand-in crontab program.
#include "PlatformTesting.h"
#include "native/Native.h"
#include "native/linux/BootJobs.h"
#include "native/linux/SessionScripts.h"
#include "native/linux/SystemdUserUnits.h"
#include "native/windows/LogonTasks.h"
#include "native/windows/RunOnceKeys.h"
#include "native/windows/StartupFolders.h"
#include "support/LanguageTable.h"
#include "support/TextNumbers.h"

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>

namespace lw {
namespace {

namespace fs = std::filesystem;
using test::writeFile;
using test::writeScript;

TEST(SessionScripts, ListsWhatTheSessionsReadOrRunAndWhyNot) {
  test::TempDir dir;
  const fs::path home = dir.path() / "home";
  const fs::path config = dir.path() / "config"; // not home/.config: XDG_CONFIG_HOME wins
  writeFile(home / ".xprofile", "export A=1\n");
  fs::create_directories(home);
  fs::create_symlink(home / ".xsessionrc", home / ".xsessionrc"); // a loop: cannot be read
  const fs::path env = config / "plasma-workspace" / "env";
  writeFile(env / "b.sh", "export B=1\n");
  writeFile(env / "Upper.SH", "export C=1\n");
  writeFile(env / "notes.txt", "not sourced\n");
  writeFile(env / ".hidden.sh", "not sourced\n");
  fs::create_directories(env / "folder.sh");
  fs::create_symlink(dir.path() / "nowhere", env / "dangling.sh");
  const fs::path scripts = config / "autostart-scripts";
  writeScript(scripts / "runs", "true\n");
  writeFile(scripts / "plain", "true\n"); // no execute bit: Plasma cannot start it
  for (const char *backup : {"runs~", "runs.bak", "#runs#", "%runs%", ".hidden"})
    writeScript(scripts / backup, "true\n");
  fs::create_directories(scripts / "sub");
  writeScript(home / ".config" / "autostart-scripts" / "decoy", "true\n");

  SessionScripts source({home.string(), config.string()});
  EXPECT_EQ(source.kind(), &SessionScripts::description);
  const auto listing = source.list();
  EXPECT_FALSE(listing.unavailable);
  using Row = std::tuple<std::string, const LogonReason *, StartVerdict, std::string>;
  std::vector<Row> rows;
  for (const auto &item : listing.items) {
    rows.emplace_back(item.file, item.reason, item.verdict,
                      item.verdict == StartVerdict::Unreadable ? "" : item.detail);
    EXPECT_EQ(item.source, &SessionScripts::description);
    EXPECT_EQ(item.command, item.file);
    EXPECT_EQ(fs::path(item.file).filename().string(), item.name);
    EXPECT_EQ(item.switchBy, LogonSwitch::None) << item.name;
    if (item.verdict == StartVerdict::Unreadable) {
      EXPECT_EQ(item.detail, std::generic_category().message(ELOOP));
    }
  }
  const std::string notRun = (scripts / "plain").string();
  EXPECT_EQ(
      rows,
      (std::vector<Row>{
          {(home / ".xprofile").string(), &SessionScripts::xProfile, StartVerdict::Starts, ""},
          {(home / ".xsessionrc").string(), &SessionScripts::xSessionRc, StartVerdict::Unreadable,
           ""},
          {(env / "Upper.SH").string(), &SessionScripts::plasmaEnv, StartVerdict::Starts, ""},
          {(env / "b.sh").string(), &SessionScripts::plasmaEnv, StartVerdict::Starts, ""},
          {notRun, &SessionScripts::plasmaScript, StartVerdict::ProgramMissing, notRun},
          {(scripts / "runs").string(), &SessionScripts::plasmaScript, StartVerdict::Starts, ""},
      }));

  // The folders come from the environment as the sessions take them.
  const auto folders = [](std::map<std::string, std::string> variables) {
    const auto found = SessionScripts::folders([&](const char *name) -> const char * {
      const auto it = variables.find(name);
      return it == variables.end() ? nullptr : it->second.c_str();
    });
    return found.home + " " + found.configHome;
  };
  EXPECT_EQ(folders({{"HOME", "/h/"}}), "/h /h/.config");
  EXPECT_EQ(folders({{"HOME", "/h"}, {"XDG_CONFIG_HOME", "relative"}}), "/h /h/.config");
  EXPECT_EQ(folders({{"HOME", "/h"}, {"XDG_CONFIG_HOME", "/c"}}), "/h /c");
}

TEST(BootJobs, ListsTheRebootLinesOfTheCrontabAndSaysWhenCronCannotBeAsked) {
  test::TempDir dir;
  // A stand-in for cron's crontab: answers only -l, as the real one does for listing.
  const auto crontab = [&](const std::string &name, const std::string &answer) {
    const fs::path program = dir.path() / name;
    writeScript(program, "[ \"$1\" = -l ] || exit 2\n" + answer);
    return program.string();
  };
  const std::string table = "# m h dom mon dow command\n"
                            "SHELL=/bin/sh\n"
                            "*/5 * * * * every-five-minutes\n"
                            "# @reboot commented-out\n"
                            "@reboot  /usr/bin/tool --flag  \n"
                            "\t@reboot\tsleep 60 && job \\% done % input\n"
                            "@daily daily-job\n"
                            "@reboot\n"
                            "@reboot %only-input\n";
  // cron loads a crontab whole or not at all: the jobs of one it refuses are listed, but do not
  // start, and say which line cron could not read.
  struct Table {
    std::string text;
    const LogonReason *reason;
    std::string detail;
  };
  const Table tables[] = {
      {table, &BootJobs::atBoot, ""},
      {table + "61 * * * * late\n", &BootJobs::notLoaded, "10 (61 * * * * late)"},
      {table + "@reboot last", &BootJobs::unterminated, "10 (@reboot last)"},
  };
  const fs::path tableFile = dir.path() / "table";
  BootJobs jobs(crontab("crontab", "cat '" + tableFile.string() + "'\n"));
  EXPECT_EQ(jobs.kind(), &BootJobs::description);
  for (const auto &[text, reason, detail] : tables) {
    SCOPED_TRACE(text);
    writeFile(tableFile, text);
    const auto listing = jobs.list();
    EXPECT_FALSE(listing.unavailable) << *listing.unavailable;
    std::vector<std::pair<std::string, std::string>> names;
    for (const auto &item : listing.items) {
      names.emplace_back(item.name, item.command);
      EXPECT_EQ(item.verdict,
                reason == &BootJobs::atBoot ? StartVerdict::Starts : StartVerdict::Disabled);
      EXPECT_EQ(item.reason, reason);
      EXPECT_EQ(item.detail, detail);
      EXPECT_EQ(item.switchBy, LogonSwitch::None);
    }
    names.resize(2);
    EXPECT_EQ(names, (std::vector<std::pair<std::string, std::string>>{
                         {"/usr/bin/tool --flag  ", "/usr/bin/tool --flag  "},
                         {"sleep 60 && job \\% done % input", "sleep 60 && job % done "}}));
    EXPECT_EQ(listing.items.size(), reason == &BootJobs::unterminated ? 3u : 2u);
  }

  // Only crontab's own "no crontab for <user>" is an empty crontab; any other failure is a
  // source that cannot be asked, in crontab's words.
  struct Failure {
    const char *answer;
    const char *says; // nullptr: no crontab, which is not being unable to ask
  };
  const Failure failures[] = {
      {"echo 'no crontab for lw' >&2\nexit 1\n", nullptr},
      {"echo 'You (lw) are not allowed to use this program (crontab)' >&2\n"
       "echo 'See crontab(1) for more information' >&2\nexit 1\n",
       "You (lw) are not allowed to use this program (crontab) See crontab(1) for more "
       "information"},
      {"echo 'crontab: PAM: no crontab for you today' >&2\nexit 1\n",
       "crontab: PAM: no crontab for you today"},
      {"exit 3\n", "exit status 3"},
  };
  for (const auto &failure : failures) {
    SCOPED_TRACE(failure.answer);
    const auto failed = BootJobs(crontab("failing", failure.answer)).list();
    EXPECT_TRUE(failed.items.empty());
    // crontab refused: cron may run the jobs all the same.
    EXPECT_EQ(failed.refused, failure.says != nullptr);
    if (!failure.says) {
      EXPECT_FALSE(failed.unavailable) << *failed.unavailable;
      continue;
    }
    ASSERT_TRUE(failed.unavailable);
    EXPECT_NE(failed.unavailable->find(failure.says), std::string::npos) << *failed.unavailable;
  }

  const auto missing = BootJobs((dir.path() / "no-such-crontab").string()).list();
  ASSERT_TRUE(missing.unavailable);
  EXPECT_FALSE(missing.refused) << "no cron, no jobs";
  EXPECT_NE(missing.unavailable->find(std::generic_category().message(ENOENT)), std::string::npos)
      << *missing.unavailable;

  const auto started = std::chrono::steady_clock::now();
  const auto hung =
      BootJobs(crontab("hangs", "echo '@reboot early'\nsleep 30\n"), std::chrono::milliseconds(300))
          .list();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_TRUE(hung.unavailable);
  EXPECT_TRUE(hung.items.empty()) << "half an answer is no answer";
}

// The language file is shared by both systems, so the sources of both are checked here: each text
// a shipped source shows is in every section, and no two texts of the program share a number.
TEST(LogonSources, EveryShippedSourceHasTextsOfItsOwnInEveryLanguage) {
  const LogonKind *shipped[] = {&SystemdUserUnits::description, &SessionScripts::description,
                                &BootJobs::description,         &StartupFolders::description,
                                &RunOnceKeys::description,      &LogonTasks::description};
  std::map<std::int32_t, std::string> owners;
  std::string shared;
  const auto own = [&](std::int32_t number, const std::string &owner) {
    if (number == 0)
      return; // the source's own words
    if (const auto [it, added] = owners.emplace(number, owner); !added)
      shared += "\n  " + std::to_string(number) + ": " + it->second + " and " + owner;
  };
  for (const auto number : text::all)
    own(number, "the window");
  for (const LogonKind *kind : shipped) {
    own(kind->label.number, kind->word);
    own(kind->count.number, kind->word);
    for (const LogonReason *reason : kind->reasons) {
      own(reason->cell.number, kind->word);
      own(reason->sentence.number, kind->word);
    }
  }
  EXPECT_TRUE(shared.empty()) << "texts that share a number:" << shared;

  test::TestProgram program;
  for (const char *header : {"[English]", "[Deutsch]"}) {
    LanguageTable table(program.platform);
    table.loadSection(header);
    for (const auto &[number, owner] : owners)
      EXPECT_FALSE(table.getText(number).empty()) << header << " has no text " << number;
  }
}

TEST(LogonSources, TheLinuxSessionListsScriptsAndBootJobs) {
  std::set<LogonSourceKind> kinds;
  for (const auto &source : makeNativeLogonSources())
    kinds.insert(source->kind());
  EXPECT_TRUE(kinds.contains(&SessionScripts::description));
  EXPECT_TRUE(kinds.contains(&BootJobs::description));
}

} // namespace
} // namespace lw
