// The built program as a command line, in a program directory, home and autostart folders of
// its own: what each command leaves on disk, what it prints and how it ends.
#include "AutostartCorpus.h"
#include "Installation.h"
#include "SystemdOracle.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

constexpr const char *starterFile = "Launchwright.desktop";

TEST(CommandLineTool, ListJsonFollowsTheDocumentedSchemaAndKeepsTheBytes) {
  const Installation lw;
  const std::string latin1 = "caf\xe9";
  ASSERT_EQ(lw.run({"add", "--kind", "machine", "--name", "Mixer", "--command", "mix"}).status, 0);
  // The command line refuses a command that is not UTF-8 for a desktop file; one written by
  // another program is still listed byte for byte.
  fs::create_directories(lw.userAutostart());
  std::ofstream(lw.userAutostart() / (latin1 + ".desktop"), std::ios::binary)
      << "[Desktop Entry]\nType=Application\nName=Caf\xC3\xA9 Bar\nExec=/bin/" << latin1 << "\n";
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", "Mail", "--command", "mail",
                    "--schedule", "every:90m"})
                .status,
            0);
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", "Daily", "--command", "true"}).status,
            0);

  const QJsonArray entries = listJson(lw);
  QStringList kinds;
  const std::set<QString> reasons{"starts",        "disabled", "other-desktop", "program-missing",
                                  "not-a-program", "replaced", "unreadable",    "never-due"};
  for (const auto &value : entries) {
    const QJsonObject entry = value.toObject();
    const QString kind = entry["kind"].toString();
    kinds << kind;
    EXPECT_TRUE(entry["name"].isString() && entry["command"].isString());
    EXPECT_TRUE(entry["display_name"].isString());
    EXPECT_TRUE(entry["starts"].isBool());
    EXPECT_TRUE(reasons.count(entry["reason"].toString()))
        << entry["reason"].toString().toStdString();
    EXPECT_TRUE(entry["status"].isString());
    const bool customized = kind == "customized";
    for (const char *key : {"schedule", "last_start", "next_start"})
      EXPECT_EQ(entry.contains(key), customized) << key;
    EXPECT_EQ(entry.contains("file"), !customized);
  }
  // The window's order: customized, then the user's (the starter among them), then the machine's.
  EXPECT_EQ(kinds, QStringList({"customized", "customized", "user", "user", "machine"}));

  const QJsonObject mail = entryNamed(entries, "Mail");
  EXPECT_EQ(mail["schedule"].toString(), "Every 90 minutes");
  EXPECT_TRUE(QDateTime::fromString(mail["last_start"].toString(), Qt::ISODate).isValid());
  EXPECT_FALSE(mail.contains("name_hex"));
  EXPECT_EQ(mail["display_name"].toString(), "Mail");
  // Added just now, a daily entry next starts on a later day.
  const QJsonObject daily = entryNamed(entries, "Daily");
  const QDateTime last = QDateTime::fromString(daily["last_start"].toString(), Qt::ISODate);
  const QDateTime next = QDateTime::fromString(daily["next_start"].toString(), Qt::ISODate);
  EXPECT_TRUE(next.isValid()) << daily["next_start"].toString().toStdString();
  EXPECT_GT(next.date(), last.date());

  const QJsonObject cafe = entryNamed(entries, QString::fromUtf8("caf\xEF\xBF\xBD"));
  EXPECT_EQ(cafe["name_hex"].toString(), "636166e9");
  EXPECT_EQ(cafe["display_name"].toString(), QString::fromUtf8("Caf\xC3\xA9 Bar"));
  EXPECT_EQ(cafe["command_hex"].toString(), "2f62696e2f636166e9");
  // The exact bytes reach the core: the entry can be deleted by them.
  EXPECT_EQ(lw.run({"delete", "--kind", "user", "--name", latin1}).status, 0);

  // Every control byte, in a customized entry's name and command (all but the line breaks the
  // command line refuses) and in an autostart file's name, gives JSON that Python's strict
  // parser takes, with the bytes intact; Qt's parser lets raw control bytes through.
  std::string controls, unbroken;
  for (char c = 0x01; c < 0x20; ++c) {
    controls += c;
    if (c != '\n' && c != '\r')
      unbroken += c;
  }
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", "ctl" + unbroken, "--command",
                    "true " + unbroken})
                .status,
            0);
  // A byte-order mark that starts an argument stays, though QString::fromUtf8 drops it.
  const std::string marked = "\xEF\xBB\xBF"
                             "bom";
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", marked, "--command", "true"}).status,
            0);
  if (lw.shell("python3 -c ''").status != 0)
    GTEST_SKIP() << "python3 is missing: no strict JSON parser to check control bytes with";
  fs::create_directories(lw.userAutostart());
  std::ofstream(lw.userAutostart() / ("ctl" + controls + ".desktop"))
      << "[Desktop Entry]\nType=Application\nExec=true \"\\n\\r\x01\x1F\"\n";
  const Outcome python =
      lw.shell("launchwright list --json | python3 -c 'import json, sys\n"
               "for e in json.load(sys.stdin): print(e[\"name\"].encode().hex(), "
               "e[\"command\"].encode().hex())'");
  EXPECT_EQ(python.status, 0) << python.err;
  const auto hex = [](std::string_view bytes) {
    std::string out;
    for (const char c : bytes)
      out += "0123456789abcdef"[(c >> 4) & 0xF], out += "0123456789abcdef"[c & 0xF];
    return out;
  };
  EXPECT_NE(python.out.find(hex("ctl" + unbroken) + " " + hex("true " + unbroken) + "\n"),
            std::string::npos)
      << python.out;
  EXPECT_NE(python.out.find(hex("ctl" + controls) + " "), std::string::npos) << python.out;
  EXPECT_NE(python.out.find(hex(marked) + " "), std::string::npos) << python.out;

  // The backup records, deleted latin1 entry first, the same way.
  ASSERT_EQ(lw.run({"delete", "--kind", "customized", "--name", "ctl" + unbroken}).status, 0);
  const Outcome records =
      lw.shell("launchwright restore --list --json | python3 -c 'import json, sys\n"
               "for r in json.load(sys.stdin): print(r[\"number\"], r[\"kind\"], "
               "r.get(\"name_hex\"), r[\"name\"].encode().hex(), r[\"command\"].encode().hex())'");
  EXPECT_EQ(records.status, 0) << records.err;
  EXPECT_EQ(records.out, "1 user 636166e9 636166efbfbd " + hex("/bin/" + latin1).substr(0, 10) +
                             "636166efbfbd\n2 customized None " + hex("ctl" + unbroken) + " " +
                             hex("true " + unbroken) + "\n");
}

// Lines of the output, without the carriage returns a terminal adds.
std::vector<std::string> linesOf(const std::string &out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) {
    std::erase(line, '\r');
    lines.push_back(line);
  }
  return lines;
}

TEST(CommandLineTool, TextListingEscapesWhatCouldForgeARowAndAlignsOnlyOnATerminal) {
  const Installation lw;
  const std::string forged = "ab\tc\nAll Users\tforged";
  putFile(lw.userAutostart() / (forged + ".desktop"),
          "[Desktop Entry]\nType=Application\nExec=/bin/true\n");
  putFile(lw.userAutostart() / "Caf\xC3\xA9\\1.desktop",
          "[Desktop Entry]\nType=Application\nExec=/bin/true\n");
  const std::string forgedRow = "Current User\tab\\tc\\nAll Users\\tforged\tStarts\t/bin/true";
  const std::string cafeRow = "Current User\tCaf\xC3\xA9\\1\tStarts\t/bin/true";
  const bool pty = lw.shell("script -qec true /dev/null").status == 0;
  const struct {
    std::string script;
    bool header;
  } cases[] = {{"launchwright list --desktop GNOME", false},
               {"script -qec 'launchwright list --desktop GNOME' /dev/null", true},
               {"script -qec 'launchwright list --desktop GNOME --no-legend' /dev/null", false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.script);
    if (c.script.starts_with("script") && !pty)
      continue;
    const Outcome run = lw.shell(c.script);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = linesOf(run.out);
    ASSERT_EQ(lines.size(), c.header ? 3u : 2u) << run.out;
    if (!c.header) {
      EXPECT_EQ(lines, std::vector<std::string>({cafeRow, forgedRow}));
      continue;
    }
    // Each column starts at the same character (not byte) in every line.
    const auto columnOf = [](const std::string &line, const std::string &cell) {
      const std::string before = line.substr(0, line.find(cell));
      return std::count_if(before.begin(), before.end(),
                           [](char b) { return (static_cast<unsigned char>(b) & 0xC0) != 0x80; });
    };
    EXPECT_TRUE(lines[0].starts_with("Kind  ")) << lines[0];
    EXPECT_EQ(columnOf(lines[0], "Status"), columnOf(lines[1], "Starts"));
    EXPECT_EQ(columnOf(lines[0], "Status"), columnOf(lines[2], "Starts"));
    EXPECT_EQ(columnOf(lines[0], "Command"), columnOf(lines[1], "/bin/true"));
    EXPECT_NE(lines[2].find("ab\\tc\\nAll Users\\tforged"), std::string::npos);
  }
}

TEST(CommandLineTool, DesktopOptionOrTheSessionDecidesForWhichDesktopEntriesAreJudged) {
  const Installation lw;
  putFile(lw.userAutostart() / "kde-only.desktop",
          "[Desktop Entry]\nType=Application\nExec=/bin/true\nOnlyShowIn=KDE;\n");
  const struct {
    std::vector<std::string> arguments;
    std::string session; // XDG_CURRENT_DESKTOP; empty: unset
    bool starts;
  } cases[] = {
      {{"list", "--json"}, "", false},
      {{"list", "--json", "--desktop", "KDE"}, "", true},
      {{"list", "--json", "--desktop", "GNOME"}, "KDE", false},
      {{"list", "--json"}, "KDE", true},
      {{"check", "kde-only"}, "", false},
      {{"check", "--desktop", "GNOME:KDE", "kde-only"}, "", true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.arguments.back() + " in " + c.session);
    std::vector<std::string> environment;
    if (!c.session.empty())
      environment.push_back("XDG_CURRENT_DESKTOP=" + c.session);
    const Outcome run = lw.run(c.arguments, environment);
    if (c.arguments.front() == "check") {
      EXPECT_EQ(run.status, c.starts ? 0 : 1) << run.out;
    } else {
      const auto entries = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
      EXPECT_EQ(entryNamed(entries, "kde-only")["starts"].toBool(), c.starts) << run.out;
    }
    // Said once, on one line, only when neither the option nor the session names a desktop.
    const bool unnamed = c.session.empty() && c.arguments.size() < 4;
    EXPECT_EQ(run.err.empty(), !unnamed) << run.err;
    if (unnamed) {
      EXPECT_TRUE(run.err.starts_with("launchwright: XDG_CURRENT_DESKTOP is not set")) << run.err;
      EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
  }
}

TEST(CommandLineTool, ShowPrintsAnEntrysOwnFileOrStoredLines) {
  const Installation lw;
  const std::string mine = "[Desktop Entry]\r\nType=Application\r\nExec=/bin/true\r\n# \xE9\r\n";
  const std::string machines = "[Desktop Entry]\nType=Application\nExec=/bin/false\n";
  putFile(lw.userAutostart() / "Mine.desktop", mine);
  putFile(lw.machineAutostart() / "Theirs.desktop", machines);
  // Switched off by a file of the user's, which is not the machine entry's own.
  ASSERT_EQ(lw.run({"disable", "--kind", "machine", "--name", "Theirs"}).status, 0);
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", "Hourly", "--command", "true -x",
                    "--schedule", "every:1h"})
                .status,
            0);
  const struct {
    const char *kind;
    const char *name;
    std::string out;
  } cases[] = {
      {"user", "Mine", mine},
      {"machine", "Theirs", machines},
      // Its rule in words, not the timer's code.
      {"customized", "Hourly", "Hourly\ntrue -x\nEvery hour\n"},
  };
  for (const auto &c : cases) {
    const Outcome run = lw.run({"show", "--kind", c.kind, "--name", c.name});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.out) << c.kind;
  }
}

// The starter's entry names the file beside the program as one word, whatever its folder is
// called: GLib and systemd start exactly that file, or `check` says why they cannot.
TEST(CommandLineTool, StarterEntryStartsTheStarterFromAnyFolderOrSaysWhyNot) {
  const bool gio = std::system("command -v gio >/dev/null 2>&1") == 0;
  const struct {
    std::string folder;
    std::string refused; // the characters some session cannot start a program from
    bool glibStarts;
  } cases[] = {
      {"my #1 tools", "", true}, {"o'brien", "'", true}, {"back\\slash", "\\", true},
      {"$HOME", "$", true},      {"100%", "%", false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.folder);
    const Installation lw(c.folder);
    ASSERT_EQ(
        lw.run({"add", "--kind", "customized", "--name", "Backup", "--command", "true"}).status, 0);
    const fs::path entry = lw.userAutostart() / starterFile;
    const fs::path started = lw.dir.path() / "started";
    // In place of the starter, a program that tells which file was started.
    std::ofstream(lw.program / "rwlaunch", std::ios::trunc)
        << "#!/bin/sh\nprintf '%s' \"$0\" > '" << started.string() << ".part' && mv '"
        << started.string() << ".part' '" << started.string() << "'\n";
    if (gio) {
      const Outcome launched = lw.shell("timeout 20 gio launch '" + entry.string() + "'");
      EXPECT_EQ(launched.status == 0, c.glibStarts) << launched.err;
      for (int wait = 0; c.glibStarts && !fs::exists(started) && wait < 500; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      EXPECT_EQ(slurp(started), c.glibStarts ? (lw.program / "rwlaunch").string() : "");
    }
    const auto systemd = systemdStarts(lw.config, lw.system.string(),
                                       lw.program.string() + ":/usr/bin:/bin", lw.dir.path());
    if (systemd) {
      EXPECT_EQ(systemd->contains(entry.string()), c.refused.empty());
    }
    const Outcome check = lw.run({"check", "Launchwright"});
    EXPECT_EQ(check.status, c.refused.empty() ? 0 : 1) << check.out;
    if (!c.refused.empty()) {
      EXPECT_EQ(check.out, "Current User \"Launchwright\": Not every desktop can start "
                           "Launchwright's starter at logon from its folder; move the program to "
                           "a folder whose path holds none of these characters: " +
                               c.refused + ".\n");
    }
  }
}

TEST(CommandLineTool, AScheduleThatCanNeverComeDueIsListedAndCheckedAsNotStarting) {
  const Installation lw;
  const struct {
    std::string name;
    std::string line;
    const char *reason;
    std::string why; // what the timing names
  } cases[] = {
      {"Unknown rule", "110000000000000x00202601010000", "never-due", "the start rule is unknown"},
      {"No weekday", "090000000000000x00202601010000", "never-due", "no weekday is chosen"},
      {"No such day", "100000000000000x32202601010000", "never-due", "no month has this day"},
      {"Mondays", "090000000000000200202601010000", "starts", ""}};
  std::string file =
      "Kestrumsoft Launchwright - Customized Entries\r\n" + std::string(46, '=') + "\r\n\r\n";
  for (const auto &c : cases)
    file += c.name + "\r\n/usr/bin/true\r\n" + c.line + "\r\n=====\r\n";
  std::ofstream(lw.program / "0013cst.ini", std::ios::binary) << file;

  const QJsonArray entries = listJson(lw);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    const QJsonObject entry = entryNamed(entries, QString::fromStdString(c.name));
    const bool never = !c.why.empty();
    EXPECT_EQ(entry["reason"].toString(), c.reason);
    EXPECT_EQ(entry["starts"].toBool(), !never);
    EXPECT_EQ(entry["next_start"].isNull(), never);
    if (never) {
      EXPECT_EQ(entry["status"].toString().toStdString(),
                "Never due \xE2\x80\x93 never starts: " + c.why);
    }
    const Outcome check = lw.run({"check", c.name});
    EXPECT_EQ(check.status, never ? 1 : 0) << check.out;
    if (never) {
      EXPECT_NE(check.out.find(": Its stored schedule can never come due"), std::string::npos)
          << check.out;
      EXPECT_TRUE(check.out.ends_with("never starts: " + c.why + "\n")) << check.out;
    }
  }
}

TEST(CommandLineTool, ClosedPipeEndsTheListingQuietly) {
  const Installation lw;
  std::string file =
      "Kestrumsoft Launchwright - Customized Entries\r\n" + std::string(46, '=') + "\r\n\r\n";
  for (int i = 0; i < 3000; ++i)
    file += "Entry " + std::to_string(i) + "\r\n/usr/bin/true\r\n000000000000000x00202601010000" +
            "\r\n=====\r\n";
  std::ofstream(lw.program / "0013cst.ini", std::ios::binary) << file;
  const Outcome run =
      lw.shell("set -o pipefail; launchwright list --json --desktop GNOME | head -c 1 >/dev/null");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
}

// crontab refuses a user that cron.deny names (or cron.allow leaves out), yet cron still runs
// that user's jobs: every listing says so once, and check cannot say that everything starts.
TEST(CommandLineTool, ACrontabRefusedToTheUserIsNamedOnceAndFailsCheck) {
  const Installation lw;
  const fs::path crontab = lw.program / "crontab"; // first on PATH
  std::ofstream(crontab, std::ios::binary)
      << "#!/bin/sh\n"
         "echo 'You (lw) are not allowed to use this program (crontab)' >&2\n"
         "echo 'See crontab(1) for more information' >&2\n"
         "exit 1\n";
  fs::permissions(crontab, fs::perms::owner_all);
  const std::string note = "launchwright: Launchwright could not ask for the entries of kind Boot "
                           "job, which may start all the same: You (lw) are not allowed to use "
                           "this program (crontab) See crontab(1) for more information\n";
  for (const auto &[arguments, status] : {std::pair<std::vector<std::string>, int>{{"list"}, 0},
                                          {{"list", "--json"}, 0},
                                          {{"check"}, 1},
                                          {{"check", "--kind", "boot-job"}, 1}}) {
    SCOPED_TRACE(arguments.back());
    const Outcome run = lw.run(arguments);
    EXPECT_EQ(run.status, status) << run.err;
    const auto at = run.err.find(note);
    EXPECT_NE(at, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(note, at + 1), std::string::npos) << "said once";
  }

  // A crontab cron does not load: its @reboot job will not start, and the sentence names the
  // line; the command is what cron would run, up to the '%' that starts the job's input.
  std::ofstream(crontab, std::ios::binary | std::ios::trunc)
      << "#!/bin/sh\nprintf '@reboot job %% input\\n61 * * * * x\\n'\n";
  const Outcome check = lw.run({"check", "--kind", "boot-job"});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, "Boot job \"job % input\": cron runs no job of this crontab, because it "
                       "cannot read its line 2 (61 * * * * x); crontab -e changes it.\n");
  EXPECT_EQ(lw.run({"list", "--kind", "boot-job"}).out,
            "Boot job\tjob % input\tDisabled \u2013 crontab not loaded\tjob \n");
}

#ifdef LW_WINDOWLESS
// Built without the window, a start without a command or with Qt's options alone says so and
// writes nothing.
TEST(CommandLineTool, AWindowlessBuildRefusesToStartTheWindow) {
  const Installation lw;
  const auto before = lw.snapshot();
  for (const auto &arguments :
       {std::vector<std::string>{}, std::vector<std::string>{"-platform", "offscreen"}}) {
    const Outcome run = lw.run(arguments);
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("this build has no window"), std::string::npos) << run.err;
  }
  EXPECT_EQ(lw.snapshot(), before);
}
#else
// Qt's own options alone open the window, which takes them: here on the offscreen platform
// with no display named anywhere else.
TEST(CommandLineTool, QtOptionsAloneStartTheWindowWithThem) {
  const Installation lw;
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", "Mail", "--command", "mail"}).status,
            0);
  fs::create_directories(lw.dir.path() / "runtime");
  fs::permissions(lw.dir.path() / "runtime", fs::perms::owner_all);
  const Outcome run = lw.run({"-platform", "offscreen", "-style=fusion"},
                             {"QT_DEBUG_PLUGINS=0", "LAUNCHWRIGHT_EXIT_AFTER_MS=200",
                              "XDG_RUNTIME_DIR=" + (lw.dir.path() / "runtime").string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("Mail"), std::string::npos) << run.out;
}
#endif

} // namespace
} // namespace lw::test
