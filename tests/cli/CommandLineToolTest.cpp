// The built program as a command line, in a program directory, home and autostart folders of
// its own: what each command leaves on disk, what it prints and how it ends.
#include "Fakes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::string slurp(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A fresh installation: the built program and its data files, a home, a user configuration
// folder and a system configuration folder, all temporary.
class Installation {
public:
  Installation()
      : program(dir.path() / "program"), home(dir.path() / "home"), config(dir.path() / "config"),
        system(dir.path() / "xdg") {
    for (const auto &folder : {program, home, config, system})
      fs::create_directories(folder);
    const fs::path built(LW_BUILT_PROGRAM_DIR);
    fs::copy_file(LW_BUILT_PROGRAM, program / "launchwright");
    fs::copy_file(built / "rwlaunch", program / "rwlaunch");
    for (const char *file : {"config.ini", "0013trl.ini", "0013cst.ini", "0013bkp.ini"})
      fs::copy_file(built / file, program / file);
  }

  // The program with these arguments; argument bytes are passed unchanged.
  Outcome run(const std::vector<std::string> &arguments) const {
    std::vector<std::string> argv{(program / "launchwright").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return execute(argv);
  }

  // A bash command line with the program's folder first on PATH.
  Outcome shell(const std::string &script) const { return execute({"/bin/bash", "-c", script}); }

  std::string entries() const { return slurp(program / "0013cst.ini"); }
  std::string backup() const { return slurp(program / "0013bkp.ini"); }
  fs::path userAutostart() const { return config / "autostart"; }
  fs::path machineAutostart() const { return system / "autostart"; }

  // Everything the program may write, to show that a refused request wrote nothing.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto &root : {program, config, system})
      for (const auto &entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().filename() != "launchwright" &&
            entry.path().extension() != ".lock")
          files[entry.path().string()] = slurp(entry.path());
    return files;
  }

  TempDir dir;
  fs::path program, home, config, system;

private:
  Outcome execute(const std::vector<std::string> &argv) const {
    const fs::path out = dir.path() / "stdout", err = dir.path() / "stderr";
    const std::vector<std::string> environment{
        "HOME=" + home.string(), "XDG_CONFIG_HOME=" + config.string(),
        "XDG_CONFIG_DIRS=" + system.string(), "PATH=" + program.string() + ":/usr/bin:/bin",
        "LANG=C.UTF-8",
        // Would list every plugin the program loads; the command line loads none.
        "QT_DEBUG_PLUGINS=1"};
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
      std::vector<char *> args, env;
      for (const auto &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
      for (const auto &e : environment)
        env.push_back(const_cast<char *>(e.c_str()));
      args.push_back(nullptr);
      env.push_back(nullptr);
      ::execve(args[0], args.data(), env.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    Outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(out),
                   slurp(err)};
    EXPECT_EQ(result.err.find("plugin"), std::string::npos) << result.err;
    return result;
  }
};

QJsonArray listJson(const Installation &installation) {
  const Outcome run = installation.run({"list", "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  QJsonParseError error{};
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out;
  EXPECT_TRUE(document.isArray());
  return document.array();
}

QJsonObject entryNamed(const QJsonArray &entries, const QString &name) {
  for (const auto &entry : entries)
    if (entry.toObject()["name"].toString() == name)
      return entry.toObject();
  return {};
}

constexpr const char *starterFile = "Launchwright.desktop";

TEST(CommandLineTool, CustomizedEntryRoundTripsThroughDisableDeleteAndRestore) {
  const Installation lw;
  EXPECT_EQ(lw.run({"add", "--kind", "customized", "--name", "Nightly backup", "--command",
                    "/bin/true --all", "--schedule", "every:3h"})
                .status,
            0);
  EXPECT_NE(lw.entries().find("Nightly backup\r\n/bin/true --all\r\n060000000300000x00"),
            std::string::npos);
  EXPECT_TRUE(fs::exists(lw.userAutostart() / starterFile)) << "the starter follows";

  EXPECT_EQ(lw.run({"disable", "--kind", "customized", "--name", "Nightly backup"}).status, 0);
  QJsonObject entry = entryNamed(listJson(lw), "Nightly backup");
  EXPECT_FALSE(entry["starts"].toBool());
  EXPECT_EQ(entry["reason"].toString(), "disabled");
  EXPECT_EQ(lw.run({"enable", "--kind", "customized", "--name", "Nightly backup"}).status, 0);
  EXPECT_TRUE(entryNamed(listJson(lw), "Nightly backup")["starts"].toBool());

  EXPECT_EQ(lw.run({"delete", "--kind", "customized", "--name", "Nightly backup"}).status, 0);
  EXPECT_EQ(lw.entries().find("Nightly backup"), std::string::npos);
  EXPECT_NE(lw.backup().find("Nightly backup\r\n/bin/true --all\r\n2\r\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(lw.userAutostart() / starterFile)) << "no customized entry is left";

  const Outcome records = lw.run({"restore", "--list"});
  EXPECT_EQ(records.status, 0);
  EXPECT_TRUE(records.out.starts_with("1\tDeleted or changed on ")) << records.out;
  EXPECT_NE(records.out.find("\tNightly backup\t"), std::string::npos);

  EXPECT_EQ(lw.run({"restore", "1"}).status, 0);
  EXPECT_NE(lw.entries().find("Nightly backup\r\n/bin/true --all\r\n000000000000000x00"),
            std::string::npos);
  EXPECT_EQ(lw.backup().find("Nightly backup"), std::string::npos);
  EXPECT_TRUE(fs::exists(lw.userAutostart() / starterFile));
}

TEST(CommandLineTool, RunEntriesAreWrittenDeletedAndRestoredInTheirAutostartFolders) {
  const Installation lw;
  const struct {
    const char *kind;
    fs::path folder;
    const char *kindDigit;
  } cases[] = {{"user", lw.userAutostart(), "1"}, {"machine", lw.machineAutostart(), "0"}};
  for (const auto &c : cases) {
    const std::string name = std::string("Editor for ") + c.kind;
    const fs::path file = c.folder / (name + ".desktop");
    EXPECT_EQ(lw.run({"add", "--kind", c.kind, "--name", name, "--command", "/bin/ed"}).status, 0);
    EXPECT_NE(slurp(file).find("Exec=/bin/ed"), std::string::npos) << c.kind;
    EXPECT_EQ(lw.run({"disable", "--kind", c.kind, "--name", name}).status, 0);
    const QJsonObject off = entryNamed(listJson(lw), QString::fromStdString(name));
    EXPECT_EQ(off["reason"].toString(), "disabled") << c.kind;
    // A machine entry is switched off by the user's file that hides it.
    EXPECT_TRUE(fs::exists(off["file"].toString().toStdString())) << c.kind;
    EXPECT_EQ(lw.run({"enable", "--kind", c.kind, "--name", name}).status, 0);
    EXPECT_EQ(lw.run({"delete", "--kind", c.kind, "--name", name}).status, 0);
    EXPECT_FALSE(fs::exists(file)) << c.kind;
    EXPECT_NE(lw.backup().find(name + "\r\n/bin/ed\r\n" + c.kindDigit), std::string::npos);
    EXPECT_EQ(lw.run({"restore", "1"}).status, 0);
    EXPECT_TRUE(fs::exists(file)) << c.kind;
    EXPECT_EQ(lw.backup().find(name), std::string::npos);
  }
}

TEST(CommandLineTool, ListJsonFollowsTheDocumentedSchemaAndKeepsTheBytes) {
  const Installation lw;
  const std::string latin1 = "caf\xe9";
  ASSERT_EQ(lw.run({"add", "--kind", "machine", "--name", "Mixer", "--command", "mix"}).status, 0);
  ASSERT_EQ(
      lw.run({"add", "--kind", "user", "--name", latin1, "--command", "/bin/" + latin1}).status, 0);
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
  // Added just now, a daily entry next starts on a later day.
  const QJsonObject daily = entryNamed(entries, "Daily");
  const QDateTime last = QDateTime::fromString(daily["last_start"].toString(), Qt::ISODate);
  const QDateTime next = QDateTime::fromString(daily["next_start"].toString(), Qt::ISODate);
  EXPECT_TRUE(next.isValid()) << daily["next_start"].toString().toStdString();
  EXPECT_GT(next.date(), last.date());

  const QJsonObject cafe = entryNamed(entries, QString::fromUtf8("caf\xEF\xBF\xBD"));
  EXPECT_EQ(cafe["name_hex"].toString(), "636166e9");
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
}

TEST(CommandLineTool, RefusedRequestsSayWhyOnOneLineAndWriteNothing) {
  const Installation lw;
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", "Mail", "--command", "mail"}).status,
            0);
  const std::vector<std::vector<std::string>> refused{
      {"frobnicate"},
      {"list", "--xml"},
      {"list", "extra"},
      {"add", "--kind", "user", "--name", "X"},
      {"add", "--kind", "system", "--name", "X", "--command", "x"},
      {"add", "--kind", "customized", "--name", "Mail", "--command", "other"},
      {"add", "--kind", "customized", "--name", "X", "--command", "x", "--schedule", "often"},
      {"add", "--kind", "user", "--name", "X", "--command", "x", "--schedule", "daily"},
      {"add", "--kind", "user", "--name", "X", "--command", "x\ny"},
      {"add", "--kind", "user", "--name", "X", "--name", "Y", "--command", "x"},
      {"add", "--kind", "machine", "--name", "Launchwright", "--command", "x"},
      {"delete", "--kind", "user", "--name", "Mail"},
      {"disable", "--kind", "customized", "--name", "Nothing"},
      {"restore"},
      {"restore", "7"},
      {"restore", "--list", "1"},
      {"check", "Nothing"},
  };
  const auto before = lw.snapshot();
  for (const auto &arguments : refused) {
    const Outcome run = lw.run(arguments);
    EXPECT_EQ(run.status, 2) << arguments.front() << " " << run.err;
    EXPECT_TRUE(run.err.starts_with("launchwright: ")) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(lw.snapshot(), before) << arguments.front();
  }
}

TEST(CommandLineTool, FailedWriteNamesTheFileAndLeavesItAsItWas) {
  const Installation lw;
  const std::string handEdited = "My own notes\r\nnot an entries file\r\n";
  std::ofstream(lw.program / "0013cst.ini", std::ios::binary) << handEdited;
  const Outcome run = lw.run({"add", "--kind", "customized", "--name", "X", "--command", "x"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find((lw.program / "0013cst.ini").string()), std::string::npos) << run.err;
  EXPECT_EQ(lw.entries(), handEdited);
}

TEST(CommandLineTool, CheckSucceedsOnlyWhenEveryCheckedEntryStarts) {
  const Installation lw;
  // The window speaks German here; the command line stays English for scripts.
  std::ofstream(lw.program / "config.ini", std::ios::binary)
      << "Language\r\n[Deutsch]\r\nHomepage\r\nhttps://example.org/\r\n";
  for (const char *name : {"One", "Two"})
    ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", name, "--command", "true"}).status,
              0);
  EXPECT_EQ(lw.run({"check"}).status, 0);
  ASSERT_EQ(lw.run({"disable", "--kind", "customized", "--name", "Two"}).status, 0);
  const Outcome all = lw.run({"check"});
  EXPECT_EQ(all.status, 1);
  EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 3) << "one sentence per entry";
  EXPECT_TRUE(all.out.starts_with("Customized \"One\": ")) << all.out;
  EXPECT_EQ(lw.run({"check", "One"}).status, 0);
  EXPECT_EQ(lw.run({"check", "Two"}).status, 1);
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
  const Outcome run = lw.shell("set -o pipefail; launchwright list --json | head -c 1 >/dev/null");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
}

TEST(CommandLineTool, HelpAndVersionNeedNoFiles) {
  const Installation lw;
  fs::remove(lw.program / "0013trl.ini");
  const Outcome help = lw.run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char *command : {"list", "check", "add", "delete", "disable", "enable", "restore"})
    EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;
  EXPECT_EQ(lw.run({"add", "--help"}).status, 0);
  EXPECT_EQ(lw.run({"--version"}).out, "launchwright 1.03\n");
}

} // namespace
} // namespace lw::test
