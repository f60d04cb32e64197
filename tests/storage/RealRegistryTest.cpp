// Removal with backup and the reversal against the real Linux registry: the Run keys are
// autostart folders in a temporary directory.
#include "StoreTesting.h"

#include "platform/linux/XdgRegistry.h"
#include "storage/Reversal.h"
#include "support/TextNumbers.h"

#include <fstream>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
constexpr auto user = RegistryRoot::CurrentUser;
constexpr auto machine = RegistryRoot::LocalMachine;
const std::string run = keys::run;

class RealRegistryTest : public ::testing::Test {
protected:
  RealRegistryTest() { texts.load(); }

  XdgLocations locations(const fs::path &systemFolder) const {
    return {(folders.path() / "config" / "autostart").string(),
            {systemFolder.string()},
            (folders.path() / "config" / "launchwright" / "registry.ini").string()};
  }
  std::string text(std::int32_t number) const { return texts.getText(number); }

  TestProgram program;
  TempDir folders;
  fs::path userFolder = folders.path() / "config" / "autostart";
  fs::path systemFolder = folders.path() / "xdg" / "autostart";
  XdgRegistry registry{locations(systemFolder)};
  RunKeyStartupState startup{registry};
  Platform platform{registry,         program.shell,   program.clock, program.location,
                    program.prompter, program.chooser, startup};
  LanguageTable texts{platform};
};

TEST_F(RealRegistryTest, DeletedAutostartEntryComesBackThroughTheReversal) {
  ASSERT_TRUE(registry.write(user, run, "Clipboard", "/usr/bin/clipper --daemon \"a b\""));
  ASSERT_TRUE(fs::exists(userFolder / "Clipboard.desktop"));
  EntryStore store(platform);
  EXPECT_EQ(store.removeWithBackup(EntryKind::CurrentUser, "Clipboard",
                                   "/usr/bin/clipper --daemon \"a b\""),
            RemovalOutcome::Removed);
  EXPECT_FALSE(fs::exists(userFolder / "Clipboard.desktop"));
  EXPECT_FALSE(registry.read(user, run, "Clipboard"));

  program.prompter.answer(true);
  Toolbox mainToolbox(platform);
  EXPECT_EQ(
      reverseStartupChanges(store, mainToolbox, promptedAnswers(program.prompter, texts)).restored,
      1);
  EXPECT_TRUE(fs::exists(userFolder / "Clipboard.desktop"));
  EXPECT_EQ(registry.read(user, run, "Clipboard"), "/usr/bin/clipper --daemon \"a b\"");
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
  XdgRegistry blocked{locations(folders.path() / "blocked" / "autostart")};
  RunKeyStartupState blockedStartup{blocked};
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
  EXPECT_FALSE(blocked.read(machine, run, "Daemon"));
  EXPECT_EQ(program.readFile("0013bkp.ini"), emptyBackupFile() + record);
  ASSERT_EQ(program.prompter.shown.size(), 2u);
  EXPECT_EQ(program.prompter.shown[1].text, text(text::restoreFailed));
}

} // namespace
} // namespace lw::test
