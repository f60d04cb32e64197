// Removal with backup and the reversal against the real Linux registry: the Run keys are
// autostart folders in a temporary directory.
#include "StoreTesting.h"

#include "native/linux/RegistryStore.h"
#include "native/linux/XdgStartupState.h"
#include "storage/Reversal.h"
#include "support/TextNumbers.h"

#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
constexpr auto user = RegistryRoot::CurrentUser;
constexpr auto machine = RegistryRoot::LocalMachine;

class RealRegistryTest : public ::testing::Test {
protected:
  RealRegistryTest() { texts.load(); }

  XdgLocations locations(const fs::path &machineFolder) const {
    return {(folders.path() / "config" / "autostart").string(),
            {machineFolder.string()},
            (folders.path() / "config" / "launchwright" / "registry.ini").string()};
  }
  std::string text(std::int32_t number) const { return texts.getText(number); }

  TestProgram program;
  TempDir folders;
  fs::path userFolder = folders.path() / "config" / "autostart";
  fs::path systemFolder = folders.path() / "xdg" / "autostart";
  RegistryStore registry{locations(systemFolder).storeFile};
  XdgStartupState startup{locations(systemFolder)};
  Platform platform{registry,         program.shell,   program.clock, program.location,
                    program.prompter, program.chooser, startup};
  LanguageTable texts{platform};
};

TEST_F(RealRegistryTest, DeletedAutostartEntryComesBackThroughTheReversal) {
  ASSERT_TRUE(startup.write(user, "Clipboard", "/usr/bin/clipper --daemon \"a b\""));
  ASSERT_TRUE(fs::exists(userFolder / "Clipboard.desktop"));
  EntryStore store(platform);
  EXPECT_EQ(store.removeWithBackup(EntryKind::CurrentUser, "Clipboard",
                                   "/usr/bin/clipper --daemon \"a b\""),
            RemovalOutcome::Removed);
  EXPECT_FALSE(fs::exists(userFolder / "Clipboard.desktop"));
  EXPECT_FALSE(startup.commandOf(user, "Clipboard"));

  program.prompter.answer(true);
  Toolbox mainToolbox(platform);
  EXPECT_EQ(
      reverseStartupChanges(store, mainToolbox, promptedAnswers(program.prompter, texts)).restored,
      1);
  EXPECT_TRUE(fs::exists(userFolder / "Clipboard.desktop"));
  EXPECT_EQ(startup.commandOf(user, "Clipboard"), "/usr/bin/clipper --daemon \"a b\"");
  EXPECT_EQ(program.readFile("0013bkp.ini"), emptyBackupFile());
}

TEST_F(RealRegistryTest, NamesTheFoldersRefuseAreNeverReportedAsDone) {
  // A name that is no plain file name cannot be an autostart entry: nothing is removed or
  // recorded.
  EntryStore store(platform);
  EXPECT_EQ(store.removeWithBackup(EntryKind::CurrentUser, "../outside", "x"),
            RemovalOutcome::NothingToRemove);
  EXPECT_EQ(program.readFile("0013bkp.ini"), emptyBackupFile());

  // A system folder that cannot be created: the restore fails and the record stays.
  std::ofstream(folders.path() / "blocked") << "a file where a folder should be";
  RegistryStore blocked{locations(folders.path() / "blocked" / "autostart").storeFile};
  XdgStartupState blockedStartup{locations(folders.path() / "blocked" / "autostart")};
  Platform blockedPlatform{blocked,          program.shell,   program.clock, program.location,
                           program.prompter, program.chooser, blockedStartup};
  const std::string record =
      recordBytes("Deleted or changed on 2006/6/1 at 8:0:", "Daemon", "/usr/bin/daemon", "0");
  program.writeFile("0013bkp.ini", emptyBackupFile() + record);
  EntryStore walker(blockedPlatform);
  Toolbox mainToolbox(blockedPlatform);
  program.prompter.shown.clear();
  program.prompter.answer(true);

  EXPECT_EQ(
      reverseStartupChanges(walker, mainToolbox, promptedAnswers(program.prompter, texts)).restored,
      0);
  EXPECT_FALSE(blockedStartup.commandOf(machine, "Daemon"));
  EXPECT_EQ(program.readFile("0013bkp.ini"), emptyBackupFile() + record);
  ASSERT_EQ(program.prompter.shown.size(), 2u);
  EXPECT_EQ(program.prompter.shown[1].text,
            text(text::restoreFailed) + "\n\n" +
                (folders.path() / "blocked" / "autostart" / "Daemon.desktop").string())
      << "the file it could not write is named";
}

TEST_F(RealRegistryTest, MachineEntryInAFolderWithoutRightsIsNeitherRemovedNorRecorded) {
  ASSERT_TRUE(startup.write(machine, "Daemon", "/usr/bin/daemon"));
  const auto before = program.readFile("0013bkp.ini");
  // As root the removal runs as "nobody", who may write the program's files but not the
  // machine folder; otherwise the machine folder is made read-only.
  const bool root = ::geteuid() == 0;
  constexpr auto all = fs::perms::all;
  if (root) {
    fs::permissions(folders.path(), all & ~fs::perms::others_write & ~fs::perms::group_write);
    for (const auto &item : fs::recursive_directory_iterator(program.dir.path()))
      fs::permissions(item.path(), all);
    fs::permissions(program.dir.path(), all);
  } else {
    fs::permissions(systemFolder, fs::perms::owner_write, fs::perm_options::remove);
  }
  const pid_t child = ::fork();
  if (child == 0) {
    if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(2);
    EntryStore store(platform);
    ::_exit(store.removeWithBackup(EntryKind::AllUsers, "Daemon", "/usr/bin/daemon") ==
                    RemovalOutcome::Failed
                ? 1
                : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!root)
    fs::permissions(systemFolder, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_TRUE(fs::exists(systemFolder / "Daemon.desktop"));
  EXPECT_EQ(program.readFile("0013bkp.ini"), before);
  const fs::path copies = program.dir.path() / "0013bkp.d";
  EXPECT_TRUE(!fs::exists(copies) || fs::is_empty(copies)) << "its copy went with its record";
}

} // namespace
} // namespace lw::test
