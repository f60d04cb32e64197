// What a timer tick reads, starts and writes.

#include "LauncherTestFixture.h"
#include "support/FileError.h"

#include <filesystem>
#include <optional>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

// Due at 30 June 2006 09:05 (the test program's time) and not due, respectively.
const std::string dueDaily = "000000000000000x00200606290800";
const std::string doneDaily = "000000000000000x00200606300800";

TEST_F(LauncherTest, IdleTickTouchesNeitherFileNorRegistry) {
  load({{"Mail", "mail", doneDaily}, {"Notes", "notes", doneDaily}});
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 0u);
  ASSERT_FALSE(launcher.reloadPending);
  const int registryCalls = program.registry.calls();

  // Reading the file would now fail and writing it would bring it back.
  fs::remove(program.file(entriesFile));
  for (int minute = 5; minute < 60; ++minute)
    EXPECT_NO_THROW(EXPECT_EQ(tickAt(2006, 6, 30, 9, minute), 0u));
  EXPECT_FALSE(fs::exists(program.file(entriesFile)));
  EXPECT_EQ(program.registry.calls(), registryCalls);
  EXPECT_EQ(trayRequests, 0);
}

TEST_F(LauncherTest, ReloadTakesTheFileAndMarksBackgroundMode) {
  const auto lines = blocksOf({{"Mail", "mail", doneDaily}, {"Notes", "notes", doneDaily}});
  loadLines(lines);
  program.registry.denyWrites(RegistryRoot::CurrentUser);
  tickAt(2006, 6, 30, 9, 5);
  EXPECT_EQ(launcher.timerEntries, lines);
  EXPECT_FALSE(launcher.reloadPending);
  EXPECT_EQ(program.registry.get(RegistryRoot::LocalMachine,
                                 "SOFTWARE\\Kestrum\\Kestrumsoft Launchwright",
                                 "background control"),
            "active");
  EXPECT_EQ(program.registry.writes, 1);
  EXPECT_EQ(trayRequests, 0) << "a run not started at logon keeps its window";

  // A change to the file without a reload request is not seen.
  setFileLines(blocksOf({{"Other", "other", dueDaily}}));
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 6), 0u);
  EXPECT_EQ(launcher.timerEntries, lines);

  // A machine-wide store that refuses the value does not hold the reload up.
  program.registry.denyWrites(RegistryRoot::LocalMachine);
  launcher.reloadPending = true;
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 7), 1u);
  EXPECT_FALSE(launcher.reloadPending);
}

TEST_F(LauncherTest, RunStartedAtLogonGoesBackToTrayOnEveryReload) {
  launcher.startedByAutostart = true;
  load({{"Mail", "mail", doneDaily}});
  tickAt(2006, 6, 30, 9, 5);
  EXPECT_EQ(trayRequests, 1);
  tickAt(2006, 6, 30, 9, 6);
  EXPECT_EQ(trayRequests, 1);
  launcher.reloadPending = true;
  tickAt(2006, 6, 30, 9, 7);
  EXPECT_EQ(trayRequests, 2);

  Launcher withoutTray(program.platform, {});
  withoutTray.startedByAutostart = true;
  withoutTray.reloadPending = true;
  EXPECT_NO_THROW(withoutTray.tick());
}

TEST_F(LauncherTest, FailedReloadStaysPendingAndStartsNothing) {
  launcher.startedByAutostart = true;
  load({{"Mail", "mail", doneDaily}});
  tickAt(2006, 6, 30, 9, 5);
  const int registryWrites = program.registry.writes;

  const std::string bytes = program.readFile(entriesFile);
  fs::remove(program.file(entriesFile));
  launcher.reloadPending = true;
  program.clock.set(2006, 7, 1, 9, 0);
  EXPECT_THROW(launcher.tick(), FileError);
  EXPECT_TRUE(launcher.reloadPending);
  EXPECT_TRUE(launcher.timerEntries.empty());
  EXPECT_TRUE(program.shell.opened.empty());
  EXPECT_EQ(program.registry.writes, registryWrites);
  EXPECT_EQ(trayRequests, 1);

  program.writeFile(entriesFile, bytes);
  EXPECT_EQ(tickAt(2006, 7, 1, 9, 0), 1u);
  EXPECT_FALSE(launcher.reloadPending);
  EXPECT_EQ(trayRequests, 2);
}

// Records, for every start, the entries file as it was at that moment.
class FileWatchingShell : public Shell {
public:
  explicit FileWatchingShell(const TestProgram &watched) : program(watched) {}
  bool open(const std::string &target) override {
    opened.push_back(target);
    fileAtStart.push_back(program.readFile(entriesFile));
    return false; // a failed start still counts as a start
  }
  const TestProgram &program;
  std::vector<std::string> opened;
  std::vector<std::string> fileAtStart;
};

TEST_F(LauncherTest, EntriesDueTogetherAllStartBeforeOneWrite) {
  FileWatchingShell shell(program);
  Platform watched{program.registry, shell,           program.clock,  program.location,
                   program.prompter, program.chooser, program.startup};
  Launcher own(watched, {});
  const std::string dueMinutes = "050000000000000x00200606300905";
  const auto lines = blocksOf({{"First", "first", dueDaily},
                               {"Idle", "idle", doneDaily},
                               {"Second", "second", dueMinutes}});
  setFileLines(lines);
  own.reloadPending = true;
  program.clock.set(2006, 6, 30, 9, 5, 30);
  own.tick();

  ASSERT_EQ(shell.opened, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(shell.fileAtStart, std::vector<std::string>(2, entriesFileBytes(lines)));
  auto expected = lines;
  expected[2] = "000000000000000x00200606300905";
  EXPECT_EQ(program.readFile(entriesFile), entriesFileBytes(expected));
  EXPECT_EQ(own.timerEntries, expected);
}

// Another writer changes the file while the tick starts its entries (at the first start).
class ChangingShell : public Shell {
public:
  explicit ChangingShell(TestProgram &changed) : program(changed) {}
  bool open(const std::string &target) override {
    if (opened.empty() && theirs)
      program.writeFile(entriesFile, entriesFileBytes(*theirs));
    opened.push_back(target);
    return true;
  }
  TestProgram &program;
  std::optional<std::vector<std::string>> theirs;
  std::vector<std::string> opened;
};

TEST_F(LauncherTest, OneWriteRecordsEveryStartOnceAndKeepsAnotherWritersChange) {
  const std::string yearly = "080000000000052x00200606290800";
  const std::string stamped = "000000000000000x00200606300905";
  std::vector<Entry> ours;
  for (int i = 0; i < 40; ++i)
    ours.push_back({"Due " + std::to_string(i), "due" + std::to_string(i), dueDaily});
  ours.push_back({"Notes", "notes", yearly});
  std::vector<std::string> dueCommands;
  for (int i = 0; i < 40; ++i)
    dueCommands.push_back("due" + std::to_string(i));

  auto edited = ours; // another instance adds an entry and edits one that is not due
  edited[40].command = "notes --tray";
  edited.push_back({"Backup", "backup", yearly});
  auto removed = ours; // and one that removes a due entry
  removed.erase(removed.begin() + 3);

  const struct {
    const char *scenario;
    std::optional<std::vector<Entry>> theirs;
  } cases[] = {{"nobody else writes", std::nullopt},
               {"another writer edits and adds", edited},
               {"another writer removes a due entry", removed}};
  for (const auto &c : cases) {
    ChangingShell shell(program);
    if (c.theirs)
      shell.theirs = blocksOf(*c.theirs);
    Platform watched{program.registry, shell,           program.clock,  program.location,
                     program.prompter, program.chooser, program.startup};
    Launcher own(watched, {});
    setFileLines(blocksOf(ours));
    own.reloadPending = true;
    program.clock.set(2006, 6, 30, 9, 5);
    own.tick();

    EXPECT_EQ(shell.opened, dueCommands) << c.scenario;
    auto expected = blocksOf(c.theirs.value_or(ours));
    for (std::size_t i = 2; i < expected.size(); i += 4)
      if (expected[i] == dueDaily)
        expected[i] = stamped;
    EXPECT_EQ(fileLines(), expected) << c.scenario;
    EXPECT_EQ(own.timerEntries, expected) << c.scenario;
    own.tick();
    EXPECT_EQ(shell.opened.size(), dueCommands.size()) << c.scenario << ": started again";
  }
}

TEST_F(LauncherTest, EntrySwitchedOffIsNeverStartedAndKeepsItsStamp) {
  const auto lines = blocksOf({{"Mail", "mail", dueDaily}, {"Notes", "notes", dueDaily}});
  program.registry.set(RegistryRoot::CurrentUser, keys::disabledCustomized, "MAIL", "");
  loadLines(lines);
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 1u);
  EXPECT_EQ(program.shell.opened, std::vector<std::string>{"notes"});
  EXPECT_EQ(fileLines()[2], dueDaily);
  EXPECT_TRUE(launcher.isDisabled("Mail"));

  // Switched on again, it starts after the next reload.
  program.registry.remove(RegistryRoot::CurrentUser, keys::disabledCustomized, "MAIL");
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 6), 0u);
  launcher.reloadPending = true;
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 7), 1u);
  EXPECT_EQ(program.shell.opened.back(), "mail");
}

TEST_F(LauncherTest, SwitchesThatCannotBeReadAreNeverTakenAsAllSwitchedOn) {
  const std::string everyTick = "050000000000000x00200606290800";
  const FileError unreadable("registry.ini", "Permission denied");
  // Never read: whatever the user switched off is unknown, so nothing starts.
  program.registry.unreadable = unreadable;
  load({{"Mail", "mail", everyTick}, {"Poll", "poll", everyTick}});
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 0u);
  ASSERT_TRUE(launcher.switchesUnreadable());
  EXPECT_EQ(launcher.switchesUnreadable()->path(), "registry.ini");

  program.registry.unreadable.reset();
  program.registry.set(RegistryRoot::CurrentUser, keys::disabledCustomized, "Mail", "");
  launcher.reloadPending = true;
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 6), 1u);
  EXPECT_FALSE(launcher.switchesUnreadable());

  // Unreadable again, through a reload and an outside change: the switches last read hold.
  program.registry.unreadable = unreadable;
  launcher.reloadPending = true;
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 7), 1u);
  EXPECT_TRUE(launcher.switchesUnreadable());
  launcher.takeOutsideChange();
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 8), 1u);
  EXPECT_EQ(program.shell.opened, (std::vector<std::string>{"poll", "poll", "poll"}));
}

TEST_F(LauncherTest, RefusedStartIsRecordedToldOnceAndNotRetried) {
  const std::string everyTick = "050000000000000x00200606290800";
  load({{"Mail", "mail", dueDaily}, {"Poll", "poll", everyTick}});
  std::vector<std::string> told;
  launcher.startFailed = [&](const std::string &name) {
    EXPECT_EQ(fileLines()[2], "000000000000000x00200606300905") << "told before the write";
    told.push_back(name);
  };
  program.shell.succeeds = false;
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 2u);
  EXPECT_EQ(told, (std::vector<std::string>{"Mail", "Poll"}));
  ASSERT_EQ(launcher.failedStarts.count("Mail"), 1u);
  EXPECT_EQ(launcher.failedStarts["Mail"].at.minute, 5);

  // Only the entry due on every tick is started again; its success clears its record.
  program.shell.succeeds = true;
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 6), 1u);
  EXPECT_EQ(program.shell.opened.back(), "poll");
  EXPECT_EQ(launcher.failedStarts.count("Poll"), 0u);
  EXPECT_EQ(launcher.failedStarts.count("Mail"), 1u);
  EXPECT_EQ(told.size(), 2u);
}

TEST_F(LauncherTest, CommandLineIsHandedToTheShellWhole) {
  const std::vector<std::string> commands = {
      "/opt/editor/bin/editor --new-window \"/home/u/My Notes.txt\"",
      "C:\\Program Files\\Tool\\tool.exe /silent", "  padded  "};
  std::vector<Entry> entries;
  for (const auto &command : commands)
    entries.push_back({"Entry", command, dueDaily});
  load(entries);
  tickAt(2006, 6, 30, 9, 5);
  EXPECT_EQ(program.shell.opened, commands);
}

TEST_F(LauncherTest, FailedWriteIsRepeatedByTheNextTick) {
  load({{"First", "first", dueDaily}, {"Second", "second", dueDaily}});
  program.clock.set(2006, 6, 29, 12, 0);
  launcher.tick();
  ASSERT_TRUE(program.shell.opened.empty());

  // A directory in the file's place cannot be replaced.
  fs::remove(program.file(entriesFile));
  fs::create_directory(program.file(entriesFile));
  program.clock.set(2006, 6, 30, 9, 5);
  EXPECT_THROW(launcher.tick(), FileError);
  EXPECT_EQ(program.shell.opened, (std::vector<std::string>{"first", "second"}));

  // Even a reload request waits until the stamps are in the file, or both would start again.
  fs::remove(program.file(entriesFile));
  launcher.reloadPending = true;
  launcher.tick();
  EXPECT_EQ(program.shell.opened.size(), 2u);
  const auto lines = fileLines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[2], "000000000000000x00200606300905");
  EXPECT_EQ(lines[6], "000000000000000x00200606300905");
}

TEST_F(LauncherTest, ShortOrLongScheduleLinesAreJudgedAsTheyAreAndKeepTheirTail) {
  load({{"Bare schedule", "a", "050000000000000x00"},
        {"Stub", "b", "0500"},
        {"Date cut short", "c", "000000000000000x00200606"},
        {"Trailing note", "d", "000000000000000x00200606291200 keep me"},
        {"Date only", "e", "000000000000000x002006063"}});
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 5u);
  const std::string now = "200606300905";
  const auto lines = fileLines();
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[2], "050000000000000x00" + now);
  EXPECT_EQ(lines[6], "0500" + now);
  EXPECT_EQ(lines[10], "000000000000000x00" + now);
  EXPECT_EQ(lines[14], "000000000000000x00" + now + " keep me");
  EXPECT_EQ(lines[18], "000000000000000x00" + now);
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 6), 2u) << "only the two with interval 0";
}

TEST_F(LauncherTest, TrailingIncompleteBlockIsNeverStartedAndKeepsItsLines) {
  const auto complete = blocksOf({{"Mail", "mail", dueDaily}});
  const std::vector<std::string> tail = {"Cut short", "cut-short", dueDaily};
  for (std::size_t kept = 1; kept <= tail.size(); ++kept) {
    auto lines = complete;
    lines.insert(lines.end(), tail.begin(), tail.begin() + static_cast<std::ptrdiff_t>(kept));
    loadLines(lines);
    program.shell.opened.clear();
    EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 1u) << kept << " trailing line(s)";
    EXPECT_EQ(program.shell.opened, std::vector<std::string>{"mail"});
    auto expected = lines;
    expected[2] = "000000000000000x00200606300905";
    EXPECT_EQ(fileLines(), expected) << kept << " trailing line(s)";
  }
}

} // namespace
} // namespace lw::test
