// What a timer tick reads, starts and writes.

#include "LauncherTestFixture.h"
#include "support/FileError.h"

#include <filesystem>

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
  explicit FileWatchingShell(const TestProgram &program) : program(program) {}
  bool open(const std::string &target) override {
    opened.push_back(target);
    fileAtStart.push_back(program.readFile(entriesFile));
    return false; // a failed start still counts as a start
  }
  const TestProgram &program;
  std::vector<std::string> opened;
  std::vector<std::string> fileAtStart;
};

TEST_F(LauncherTest, EntriesDueTogetherStartInFileOrderEachSavedAtItsStart) {
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
  auto afterFirst = lines;
  afterFirst[2] = "000000000000000x00200606300905";
  auto afterSecond = afterFirst;
  afterSecond[10] = dueMinutes;
  EXPECT_EQ(shell.fileAtStart[0], entriesFileBytes(lines));
  EXPECT_EQ(shell.fileAtStart[1], entriesFileBytes(afterFirst));
  EXPECT_EQ(program.readFile(entriesFile), entriesFileBytes(afterSecond));
  EXPECT_EQ(own.timerEntries, afterSecond);
}

TEST_F(LauncherTest, StartKeepsWhatAnotherWriterChangedInTheFile) {
  const std::string yearly = "080000000000052x00200606290800";
  load({{"Mail", "mail", dueDaily}, {"Notes", "notes", yearly}});
  tickAt(2006, 6, 29, 12, 0);
  ASSERT_TRUE(program.shell.opened.empty());

  // Another instance adds an entry and changes one, without the timer being told.
  const auto theirs = blocksOf({{"Mail", "mail", dueDaily},
                                {"Notes", "notes --tray", yearly},
                                {"Backup", "backup", yearly}});
  setFileLines(theirs);
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 1u);

  auto expected = theirs;
  expected[2] = "000000000000000x00200606300905";
  EXPECT_EQ(fileLines(), expected);
  EXPECT_EQ(launcher.timerEntries, expected);
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 6), 0u);
}

TEST_F(LauncherTest, StartDoesNotBringBackAnEntryRemovedElsewhere) {
  load({{"Mail", "mail", dueDaily}, {"Notes", "notes", dueDaily}});
  tickAt(2006, 6, 29, 12, 0);
  const auto theirs = blocksOf({{"Notes", "notes", dueDaily}});
  setFileLines(theirs);

  // The timer's copy still has Mail and starts it; the file keeps the removal, and the rest of
  // the walk waits for the next tick, which works on the file's content.
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 1u);
  EXPECT_EQ(fileLines(), theirs);
  EXPECT_EQ(tickAt(2006, 6, 30, 9, 5), 1u);
  EXPECT_EQ(program.shell.opened, (std::vector<std::string>{"mail", "notes"}));
  EXPECT_EQ(fileLines(), blocksOf({{"Notes", "notes", "000000000000000x00200606300905"}}));
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

TEST_F(LauncherTest, FailedWriteBackEndsTheTickAndTheNextOneCarriesOn) {
  load({{"First", "first", dueDaily}, {"Second", "second", dueDaily}});
  program.clock.set(2006, 6, 29, 12, 0);
  launcher.tick();
  ASSERT_TRUE(program.shell.opened.empty());

  // A directory in the file's place cannot be replaced.
  fs::remove(program.file(entriesFile));
  fs::create_directory(program.file(entriesFile));
  program.clock.set(2006, 6, 30, 9, 5);
  EXPECT_THROW(launcher.tick(), FileError);
  EXPECT_EQ(program.shell.opened, std::vector<std::string>{"first"});

  fs::remove(program.file(entriesFile));
  launcher.tick();
  EXPECT_EQ(program.shell.opened, (std::vector<std::string>{"first", "second"}));
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
