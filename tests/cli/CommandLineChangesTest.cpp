// What the built command line changes on disk: entries added, deleted and given back exactly as
// they were, and nothing at all when a request is refused or a file cannot be read or written.
#include "AutostartCorpus.h"
#include "Installation.h"

#include <QJsonObject>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

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
  EXPECT_NE(lw.entries().find("Nightly backup\r\n/bin/true --all\r\n060000000300000x00"),
            std::string::npos);
  EXPECT_EQ(lw.backup().find("Nightly backup"), std::string::npos);
  EXPECT_TRUE(fs::exists(lw.userAutostart() / starterFile));
}

// The longest name a user or machine entry can have here: "<name>.desktop" is as long as the
// temporary folders' file system takes.
std::string longestName(const Installation &lw, char letter) {
  const auto longest = ::pathconf(lw.config.c_str(), _PC_NAME_MAX);
  return std::string(static_cast<std::size_t>(longest) - std::string(".desktop").size(), letter);
}

TEST(CommandLineTool, RunEntriesAreWrittenDeletedAndRestoredInTheirAutostartFolders) {
  const Installation lw;
  const struct {
    const char *kind;
    fs::path folder;
    const char *kindDigit;
    std::string name;
  } cases[] = {{"user", lw.userAutostart(), "1", "Editor for user"},
               {"machine", lw.machineAutostart(), "0", "Editor for machine"},
               // No room beside it for a temporary named after it.
               {"user", lw.userAutostart(), "1", longestName(lw, 'u')},
               {"machine", lw.machineAutostart(), "0", longestName(lw, 'm')}};
  for (const auto &c : cases) {
    const std::string &name = c.name;
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

TEST(CommandLineTool, DeleteAndRestoreGiveBackTheSameBytesInTheSameFolder) {
  const Installation lw;
  for (const auto &entry : autostartCorpus()) {
    SCOPED_TRACE(entry.name);
    const auto [file, off] = placeEntry(entry, lw.userAutostart(), lw.machineAutostart());
    const auto glib = askGlib({file, off});
#ifdef LW_GLIB_ORACLE
    ASSERT_EQ(glib.size(), 2u);
#endif
    const auto before = entriesState(lw);
    const Outcome deleted =
        lw.run({"delete", "--kind", entry.machine ? "machine" : "user", "--name", entry.name});
    ASSERT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(off));
    const Outcome restored = lw.run({"restore", "1"});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(entriesState(lw), before);
    EXPECT_EQ(askGlib({file, off}), glib);
    EXPECT_EQ(lw.backup(), slurp(LW_BUILT_PROGRAM_DIR "/0013bkp.ini"));
    EXPECT_TRUE(fs::is_empty(lw.program / "0013bkp.d"));
  }
}

// Undo keeps what the bytes alone do not say: a private entry's mode, and a link, which comes
// back as the file it led to, said so, once that file is gone.
TEST(CommandLineTool, RestoreKeepsTheModeAndSaysWhatALinkCameBackAs) {
  const Installation lw;
  const std::string app = "[Desktop Entry]\nType=Application\nExec=/bin/true --token=x\n";
  const fs::path secret = lw.userAutostart() / "secret.desktop";
  putFile(secret, app);
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_EQ(lw.run({"delete", "--kind", "user", "--name", "secret"}).status, 0);
  ASSERT_EQ(lw.run({"restore", "1"}).status, 0);
  EXPECT_EQ(fs::status(secret).permissions(), fs::perms::owner_read | fs::perms::owner_write);

  const fs::path target = lw.dir.path() / "apps" / "tool.desktop";
  const fs::path link = lw.userAutostart() / "tool.desktop";
  putFile(target, app + "Name=Tool of mine\n");
  fs::create_symlink(target, link);
  ASSERT_EQ(lw.run({"delete", "--kind", "user", "--name", "tool"}).status, 0);
  fs::remove(target);
  const Outcome restored = lw.run({"restore", "1"});
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_NE(restored.err.find(target.string()), std::string::npos) << restored.err;
  EXPECT_NE(restored.err.find(link.string()), std::string::npos) << restored.err;
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(slurp(link), app + "Name=Tool of mine\n");
}

TEST(CommandLineTool, RestoreOverANewerEntryRecordsItFirst) {
  const Installation lw;
  const fs::path file = lw.userAutostart() / "Notes.desktop";
  const std::string old = "[Desktop Entry]\nType=Application\nExec=/bin/true --old\n# mine\n";
  putFile(file, old);
  ASSERT_EQ(lw.run({"delete", "--kind", "user", "--name", "Notes"}).status, 0);
  // Newer, and in other capitals: the autostart write takes it for the same name.
  ASSERT_EQ(
      lw.run({"add", "--kind", "user", "--name", "NOTES", "--command", "/bin/true --new"}).status,
      0);
  const std::string newer = slurp(lw.userAutostart() / "NOTES.desktop");
  EXPECT_EQ(lw.run({"restore", "1"}).status, 0);
  EXPECT_EQ(slurp(file), old);
  EXPECT_FALSE(fs::exists(lw.userAutostart() / "NOTES.desktop"));
  EXPECT_NE(lw.backup().find("NOTES\r\n/bin/true --new\r\n1\r\n"), std::string::npos);
  // The newer one comes back the same way, and records the older one in its turn.
  EXPECT_EQ(lw.run({"restore", "1"}).status, 0);
  EXPECT_EQ(slurp(lw.userAutostart() / "NOTES.desktop"), newer);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_NE(lw.backup().find("Notes\r\n/bin/true --old\r\n1\r\n"), std::string::npos);
}

TEST(CommandLineTool, RestoredUserEntryOverAMachineSwitchRecordsTheMachineEntryFirst) {
  const Installation lw;
  const std::string mine = "[Desktop Entry]\nType=Application\nExec=/bin/true --mine\n";
  putFile(lw.userAutostart() / "tray.desktop", mine);
  ASSERT_EQ(lw.run({"delete", "--kind", "user", "--name", "tray"}).status, 0);
  putFile(lw.machineAutostart() / "tray.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
  ASSERT_EQ(lw.run({"disable", "--kind", "machine", "--name", "tray"}).status, 0);
  const std::string switchFile = slurp(lw.userAutostart() / "tray.desktop");
  EXPECT_EQ(lw.run({"restore", "1"}).status, 0);
  EXPECT_EQ(slurp(lw.userAutostart() / "tray.desktop"), mine);
  // Restoring the machine entry's record brings its switch back (recording the user's entry).
  EXPECT_NE(lw.backup().find("tray\r\nx\r\n0\r\n"), std::string::npos);
  EXPECT_EQ(lw.run({"restore", "1"}).status, 0);
  EXPECT_EQ(slurp(lw.userAutostart() / "tray.desktop"), switchFile);
}

TEST(CommandLineTool, RestoreThatCannotWriteOrReadItsCopyKeepsTheRecordAndSaysWhy) {
  const Installation lw;
  const fs::path file = lw.machineAutostart() / "daemon.desktop";
  putFile(file, "[Desktop Entry]\nType=Application\nExec=/bin/true\n");
  ASSERT_EQ(lw.run({"delete", "--kind", "machine", "--name", "daemon"}).status, 0);
  const std::string record = lw.backup();

  // The machine folder cannot be made again: a file stands in its place.
  fs::remove_all(lw.machineAutostart());
  putFile(lw.machineAutostart(), "not a folder");
  Outcome run = lw.run({"restore", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(file.string()), std::string::npos) << run.err;
  EXPECT_EQ(lw.backup(), record);
  fs::remove(lw.machineAutostart());

  std::vector<fs::path> copies;
  for (const auto &copy : fs::directory_iterator(lw.program / "0013bkp.d"))
    copies.push_back(copy.path());
  ASSERT_EQ(copies.size(), 1u);
  std::string damaged = slurp(copies.front());
  damaged.resize(damaged.size() - 3);
  std::ofstream(copies.front(), std::ios::binary | std::ios::trunc) << damaged;
  run = lw.run({"restore", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(copies.front().string() + ": this full copy"), std::string::npos)
      << run.err;
  EXPECT_EQ(lw.backup(), record);
  EXPECT_FALSE(fs::exists(file));

  // Without its copy the record restores from its own lines, as older records always did.
  fs::remove(copies.front());
  EXPECT_EQ(lw.run({"restore", "1"}).status, 0);
  EXPECT_NE(slurp(file).find("Exec=/bin/true"), std::string::npos);
}

// A change that cannot be written names the file it could not write; root ignores rights, so a
// folder or a file stands where the other is needed. Each row is named for the slip it catches.
TEST(CommandLineTool, FailedChangesNameTheFileTheyCouldNotWrite) {
  const struct {
    const char *slip;
    std::function<void(const Installation &)> prepare;
    std::vector<std::string> command;
    std::function<fs::path(const Installation &)> named;
  } rows[] = {
      {"a customized entry's switch names no file, or the entries file",
       [](const Installation &lw) {
         ASSERT_EQ(
             lw.run({"add", "--kind", "customized", "--name", "Mail", "--command", "mail"}).status,
             0);
         fs::create_directories(lw.config / "launchwright" / "registry.ini.lock");
       },
       {"disable", "--kind", "customized", "--name", "Mail"},
       [](const Installation &lw) { return lw.config / "launchwright" / "registry.ini"; }},
      {"a user entry that cannot be added names only its folder's kind",
       [](const Installation &lw) { putFile(lw.userAutostart(), "not a folder"); },
       {"add", "--kind", "user", "--name", "Notes", "--command", "/bin/true"},
       [](const Installation &lw) { return lw.userAutostart() / "Notes.desktop"; }},
      {"a switched-off machine entry's restore names the user's switch file",
       [](const Installation &lw) {
         putFile(lw.machineAutostart() / "daemon.desktop",
                 "[Desktop Entry]\nType=Application\nExec=/bin/true\n");
         ASSERT_EQ(lw.run({"disable", "--kind", "machine", "--name", "daemon"}).status, 0);
         ASSERT_EQ(lw.run({"delete", "--kind", "machine", "--name", "daemon"}).status, 0);
         fs::remove_all(lw.machineAutostart());
         putFile(lw.machineAutostart(), "not a folder");
       },
       {"restore", "1"},
       [](const Installation &lw) { return lw.machineAutostart() / "daemon.desktop"; }},
      {"a record without its copy names no file when its entry cannot be written",
       [](const Installation &lw) {
         putFile(lw.machineAutostart() / "daemon.desktop",
                 "[Desktop Entry]\nType=Application\nExec=/bin/true\n");
         ASSERT_EQ(lw.run({"delete", "--kind", "machine", "--name", "daemon"}).status, 0);
         fs::remove_all(lw.program / "0013bkp.d");
         fs::remove_all(lw.machineAutostart());
         putFile(lw.machineAutostart(), "not a folder");
       },
       {"restore", "1"},
       [](const Installation &lw) { return lw.machineAutostart() / "daemon.desktop"; }},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    const Installation lw;
    row.prepare(lw);
    const Outcome run = lw.run(row.command);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(row.named(lw).string()), std::string::npos) << run.err;
  }
}

// A record whose header was changed by hand is not listed, and it says so; restoring another
// record leaves its full copy where it is.
TEST(CommandLineTool, RestoreListNamesRecordsItCannotReadAndTheirCopiesStay) {
  const Installation lw;
  for (const std::string name : {"first", "second"}) {
    putFile(lw.userAutostart() / (name + ".desktop"),
            "[Desktop Entry]\nType=Application\nExec=/bin/true " + name + "\n");
    ASSERT_EQ(lw.run({"delete", "--kind", "user", "--name", name}).status, 0);
  }
  std::string bytes = lw.backup();
  bytes[bytes.find("Deleted or")] = 'X';
  putFile(lw.program / "0013bkp.ini", bytes);

  const Outcome list = lw.run({"restore", "--list", "--json"});
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(
      list.err.find((lw.program / "0013bkp.ini").string() + ": 1 record cannot be read (line 4)"),
      std::string::npos)
      << list.err;
  EXPECT_EQ(list.out.find("\"first\""), std::string::npos);
  EXPECT_EQ(lw.run({"restore", "1"}).status, 0);
  EXPECT_EQ(
      std::distance(fs::directory_iterator(lw.program / "0013bkp.d"), fs::directory_iterator()), 1);
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
      {"add", "--kind", "customized", "--name", "MAIL", "--command", "other"},
      {"add", "--kind", "user", "--name", "launchwright", "--command", "x"},
      {"add", "--kind", "customized", "--name", "X", "--command", "x", "--schedule", "often"},
      {"add", "--kind", "user", "--name", "X", "--command", "x", "--schedule", "daily"},
      {"add", "--kind", "user", "--name", "X", "--command", "x\ny"},
      {"add", "--kind", "customized", "--name", "X", "--command", " \t "},
      {"add", "--kind", "user", "--name", "X", "--command", "caf\xE9"},
      {"add", "--kind", "machine", "--name", "X", "--command", "\xED\xA0\x80"},
      {"add", "--kind", "user", "--name", "X", "--name", "Y", "--command", "x"},
      {"add", "--kind", "machine", "--name", "Launchwright", "--command", "x"},
      {"delete", "--kind", "user", "--name", "Mail"},
      {"disable", "--kind", "customized", "--name", "Nothing"},
      {"restore"},
      {"restore", "7"},
      {"restore", "--list", "1"},
      {"check", "Nothing"},
      // Names of user and machine entries are file names, checked before anything is tried.
      {"add", "--kind", "user", "--name", " ", "--command", "x"},
      {"add", "--kind", "user", "--name", "a/b", "--command", "x"},
      {"add", "--kind", "machine", "--name", "..", "--command", "x"},
      {"add", "--kind", "user", "--name", ".", "--command", "x"},
      {"add", "--kind", "user", "--name", "bell\a", "--command", "x"},
      {"add", "--kind", "user", "--name", longestName(lw, 'u') + "u", "--command", "x"},
      {"add", "--kind", "machine", "--name", longestName(lw, 'm') + "m", "--command", "x"},
      {"add", "--kind", "user", "--name", "X", "--command", std::string(64 * 1024 + 1, 'x')},
      {"add", "--kind", "customized", "--name", std::string(64 * 1024 + 1, 'n'), "--command", "x"},
      {"list", "--json", "--json"},
      {"list", "-platform", "offscreen"},
      {"-style=fusion", "list"},
      {"list", "--desktop", ""},
      {"show", "--kind", "user", "--name", "Mail"},
      {"restore", "--json"},
  };
  const auto before = lw.snapshot();
  for (const auto &arguments : refused) {
    const Outcome run = lw.run(arguments);
    EXPECT_EQ(run.status, 2) << arguments.front() << " " << run.err;
    EXPECT_TRUE(run.err.starts_with("launchwright: ")) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    // Qt's options are words of their own, never a cluster of one-letter options.
    EXPECT_EQ(run.err.find("Unknown options"), std::string::npos) << run.err;
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

// Data files damaged past reading: the gigabyte of zeros a crash can leave, and for the store of
// the switches a folder, a FIFO, a device or a file without read permission in its place. Every
// command that needs the file names it and ends with 1, having changed nothing; none takes a
// store it cannot read for "nothing is switched off", nor runs out of memory.
TEST(CommandLineTool, DataFilesThatCannotBeReadAreNamedAndNothingChanges) {
  auto gigabyteOfZeros = [](const fs::path &p) {
    std::ofstream{p, std::ios::binary | std::ios::trunc};
    ASSERT_EQ(::truncate(p.c_str(), off_t(1) << 30), 0); // sparse: costs no disk
  };
  using Commands = std::vector<std::vector<std::string>>;
  const std::vector<std::string> mail = {"--kind", "customized", "--name", "Mail"};
  auto with = [&](std::string command) {
    std::vector<std::string> arguments{std::move(command)};
    arguments.insert(arguments.end(), mail.begin(), mail.end());
    return arguments;
  };
  const Commands switchCommands = {
      {"list"}, with("enable"), with("disable"), with("delete"), {"restore", "1"}};
  struct Case {
    std::string label;
    std::string file; // under the program folder, or "registry.ini" in the configuration folder
    std::function<void(const fs::path &)> make;
    Commands commands;
  };
  const std::vector<Case> cases = {
      {"entries file of zeros",
       "0013cst.ini",
       gigabyteOfZeros,
       {{"list"},
        {"add", "--kind", "customized", "--name", "X", "--command", "x"},
        with("disable"),
        with("delete"),
        {"restore", "1"}}},
      {"backup file of zeros",
       "0013bkp.ini",
       gigabyteOfZeros,
       {with("delete"), {"restore", "--list"}, {"restore", "1"}}},
      {"store of zeros", "registry.ini", gigabyteOfZeros, switchCommands},
      {"store is a folder", "registry.ini", [](auto &p) { fs::create_directories(p / "x"); },
       switchCommands},
      {"store is a FIFO", "registry.ini", [](auto &p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
       switchCommands},
      {"store is /dev/zero", "registry.ini", [](auto &p) { fs::create_symlink("/dev/zero", p); },
       switchCommands},
      {"store without read permission", "registry.ini",
       [](auto &p) { fs::permissions(p, fs::perms::owner_write); }, switchCommands},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.label);
    if (c.label.ends_with("read permission") && ::geteuid() == 0) {
      std::printf("[   NOTE   ] row \"%s\" not run: root reads any file\n", c.label.c_str());
      continue;
    }
    const Installation lw;
    for (const auto &arguments :
         Commands{{"add", "--kind", "customized", "--name", "Mail", "--command", "mail"},
                  {"add", "--kind", "customized", "--name", "Old", "--command", "old"},
                  {"delete", "--kind", "customized", "--name", "Old"},
                  with("disable")})
      ASSERT_EQ(lw.run(arguments).status, 0) << arguments.front();
    const fs::path damaged =
        c.file == "registry.ini" ? lw.config / "launchwright" / c.file : lw.program / c.file;
    if (c.file == "registry.ini" && !c.label.ends_with("read permission"))
      fs::remove(damaged);
    c.make(damaged);
    const auto before = lw.snapshot();
    for (const auto &arguments : c.commands) {
      const Outcome run = lw.run(arguments);
      EXPECT_EQ(run.status, 1) << arguments.front() << ": " << run.err;
      EXPECT_NE(run.err.find(damaged.string()), std::string::npos) << run.err;
      EXPECT_EQ(lw.snapshot(), before) << arguments.front();
    }
  }
}

// Memory that runs out while a data file is read (one below the size limit, under a small
// address space) ends the command with a message, as a file error does, and changes nothing.
TEST(CommandLineTool, RunningOutOfMemoryEndsTheCommandWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
  const Installation lw;
  ASSERT_EQ(lw.run({"add", "--kind", "customized", "--name", "Mail", "--command", "mail"}).status,
            0);
  constexpr rlim_t limit = rlim_t(512) << 20;
  ASSERT_EQ(lw.run({"list"}, {}, limit).status, 0) << "the limit leaves too little to start";
  // The file's recognised start, then zeros: too large for the limit, not for the program.
  const fs::path entries = lw.program / "0013cst.ini";
  ASSERT_EQ(::truncate(entries.c_str(), off_t(240) << 20), 0);
  const auto before = lw.snapshot();
  for (const std::vector<std::string> &arguments :
       {std::vector<std::string>{"list"},
        {"add", "--kind", "customized", "--name", "X", "--command", "x"}}) {
    const Outcome run = lw.run(arguments, {}, limit);
    EXPECT_EQ(run.status, 1) << arguments.front() << ": " << run.err;
    EXPECT_NE(run.err.find("not enough memory"), std::string::npos) << run.err;
    EXPECT_EQ(lw.snapshot(), before) << arguments.front();
  }
}

} // namespace
} // namespace lw::test

namespace lw::test {
namespace {

// An entry made from an installed application is a copy of the application's own desktop file,
// so that desktops show it with its translations, icon and comment; a name or command given
// replaces the application's own. An unknown application is refused and nothing is written.
TEST(CommandLineTool, EntryFromAnApplicationIsACopyOfItsDesktopFile) {
  const Installation lw;
  const fs::path data = lw.dir.path() / "data";
  const std::string app = "[Desktop Entry]\nType=Application\nName=Calculator\n"
                          "Name[de]=Rechner\nComment=Adds up\nComment[de]=Rechnet\n"
                          "Icon=accessories-calculator\nTryExec=sh\nExec=sh -c true\n"
                          "X-Vendor-Key=kept\n";
  putFile(data / "applications" / "gnome" / "Calculator.desktop", app);
  const std::vector<std::string> environment = {
      "XDG_DATA_HOME=" + data.string(), "XDG_DATA_DIRS=" + (lw.dir.path() / "none").string()};

  // Slip caught: a freshly made minimal file instead of the copy.
  const Outcome added = lw.run(
      {"add", "--kind", "user", "--from-application", "gnome-Calculator.desktop"}, environment);
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(slurp(lw.userAutostart() / "Calculator.desktop"), app);

  // Slip caught: a Name of the user's own left beside the application's translations.
  EXPECT_EQ(lw.run({"add", "--kind", "machine", "--from-application", "gnome-Calculator", "--name",
                    "Sums", "--command", "sh -c false"},
                   environment)
                .status,
            0);
  EXPECT_EQ(slurp(lw.machineAutostart() / "Sums.desktop"),
            "[Desktop Entry]\nType=Application\nName=Sums\nComment=Adds up\n"
            "Comment[de]=Rechnet\nIcon=accessories-calculator\nTryExec=sh\n"
            "Exec=sh -c false\nX-Vendor-Key=kept\n");

  const auto before = lw.snapshot();
  const Outcome unknown =
      lw.run({"add", "--kind", "user", "--from-application", "org.example.None"}, environment);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("\"org.example.None\""), std::string::npos) << unknown.err;
  EXPECT_EQ(lw.snapshot(), before);
}

} // namespace
} // namespace lw::test

namespace lw::test {
namespace {

QJsonArray changesJson(const Installation &lw, const std::vector<std::string> &options = {}) {
  std::vector<std::string> arguments = {"changes", "--json"};
  arguments.insert(arguments.end(), options.begin(), options.end());
  const Outcome run = lw.run(arguments);
  EXPECT_EQ(run.status, 0) << run.err;
  return QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
}

TEST(CommandLineTool, ChangesListsTheJournalByKindAndTime) {
  const Installation lw;
  // There before anything looked: no change of anybody's. Slip: the first look records it all.
  fs::create_directories(lw.userAutostart());
  std::ofstream(lw.userAutostart() / "old.desktop")
      << "[Desktop Entry]\nType=Application\nName=Old\nExec=/bin/old\n";
  ASSERT_EQ(
      lw.run({"add", "--kind", "customized", "--name", "Nightly", "--command", "/bin/n"}).status,
      0);
  std::ofstream(lw.userAutostart() / "new.desktop")
      << "[Desktop Entry]\nType=Application\nName=New\nExec=/bin/new\n";
  ASSERT_EQ(lw.run({"disable", "--kind", "user", "--name", "new"}).status, 0);

  // Slip: a key left out or added; an empty command as "" rather than null.
  const QJsonArray all = changesJson(lw);
  ASSERT_EQ(all.size(), 3) << QJsonDocument(all).toJson().toStdString();
  const QJsonObject added = all[1].toObject();
  EXPECT_EQ(added.keys(),
            (QStringList{"action", "after", "before", "by", "change", "kind", "name", "time"}));
  EXPECT_EQ(added["name"], "new");
  EXPECT_EQ(added["by"], "other");
  EXPECT_TRUE(added["before"].isNull());
  EXPECT_EQ(all[2].toObject()["change"], "switched-off");
  EXPECT_EQ(all[2].toObject()["by"], "command-line");

  // Slip: --kind or --since ignored, or --since compared the wrong way round.
  const struct {
    std::vector<std::string> options;
    int count;
  } filters[] = {{{"--kind", "customized"}, 1},
                 {{"--kind", "machine"}, 0},
                 {{"--since", "2000-01-01"}, 3},
                 {{"--since", "2999-01-01T00:00"}, 0}};
  for (const auto &filter : filters)
    EXPECT_EQ(changesJson(lw, filter.options).size(), filter.count) << filter.options[1];
  // Slip: a date that cannot be read taken as no date.
  EXPECT_EQ(lw.run({"changes", "--since", "yesterday"}).status, 2);
}

} // namespace
} // namespace lw::test
