// The registry operations of Toolbox by mode, on the real Linux registry.
#include "PlatformTesting.h"
#include "support/Toolbox.h"

#include <gtest/gtest.h>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class ToolboxRegistry : public ::testing::Test {
protected:
  XdgFolders xdg;
  XdgRegistry registry{xdg.locations()};
  RecordingShell shell;
  FixedClock clock;
  FixedLocation location{"/opt/launchwright/launchwright"};
  ScriptedPrompter prompter;
  ScriptedFileChooser chooser;
  RunKeyStartupState startup{registry};
  Platform platform{registry, shell, clock, location, prompter, chooser, startup};
  Toolbox toolbox{platform};
};

TEST_F(ToolboxRegistry, ModesChooseRootAndKeyAsTheTableSays) {
  toolbox.keyPath = keys::control;
  ASSERT_TRUE(toolbox.writeValue(0, "background control", "active"));
  EXPECT_EQ(toolbox.readValue(2, "background control"), "active");
  EXPECT_EQ(toolbox.readValue(1, "background control"), "");
  ASSERT_TRUE(toolbox.writeValue(1, "background control", "user"));
  EXPECT_EQ(toolbox.readValue(1, "background control"), "user");
  EXPECT_TRUE(toolbox.deleteValue(0, "background control"));
  EXPECT_EQ(toolbox.readValue(2, "background control"), "");
  EXPECT_EQ(toolbox.readValue(1, "background control"), "") << "the user's copy is cleared too";

  // Mode 3 reads and deletes the settings key whatever keyPath holds.
  toolbox.keyPath = keys::settingsRead;
  ASSERT_TRUE(toolbox.writeValue(0, "Autostart", "x"));
  toolbox.keyPath = keys::suite;
  EXPECT_EQ(toolbox.readValue(3, "Autostart"), "x");
  EXPECT_TRUE(toolbox.deleteValue(3, "Autostart")); // spelled "Software\..." here
  EXPECT_EQ(toolbox.readValue(3, "Autostart"), "");

  // The Run keys are the autostart folders.
  toolbox.keyPath = keys::run;
  ASSERT_TRUE(toolbox.writeValue(1, "Launchwright", "/opt/launchwright/rwlaunch"));
  ASSERT_TRUE(toolbox.writeValue(0, "Machine", "/usr/bin/machine"));
  EXPECT_TRUE(fs::exists(xdg.user / "Launchwright.desktop"));
  EXPECT_TRUE(fs::exists(xdg.system / "Machine.desktop"));
  EXPECT_EQ(toolbox.readValue(1, "Launchwright"), "/opt/launchwright/rwlaunch");
  EXPECT_TRUE(toolbox.deleteValue(1, "Launchwright"));
  EXPECT_FALSE(fs::exists(xdg.user / "Launchwright.desktop"));
}

// A standard Windows user cannot write HKEY_LOCAL_MACHINE: the program's own values (not the
// Run key's) then live under the user, and every reader and remover finds them there.
TEST(OwnValues, GoToTheUserWhereTheMachineCannotBeWritten) {
  for (const bool machineWritable : {true, false}) {
    SCOPED_TRACE(machineWritable ? "machine writable" : "machine denied");
    TestProgram program;
    if (!machineWritable)
      program.registry.denyWrites(RegistryRoot::LocalMachine);
    Toolbox toolbox(program.platform);
    const auto where = machineWritable ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
    const auto other = machineWritable ? RegistryRoot::CurrentUser : RegistryRoot::LocalMachine;

    toolbox.keyPath = keys::control;
    ASSERT_TRUE(toolbox.writeValue(0, "background control", "active"));
    EXPECT_EQ(program.registry.get(where, keys::control, "background control"), "active");
    EXPECT_FALSE(program.registry.get(other, keys::control, "background control"));
    EXPECT_EQ(toolbox.readValue(2, "background control"), "active");
    EXPECT_TRUE(toolbox.deleteValue(0, "background control"));
    EXPECT_FALSE(program.registry.get(where, keys::control, "background control"));

    // The starter's logon marker, found and consumed through the settings key's other spelling.
    ASSERT_TRUE(ownvalues::write(program.registry, keys::settingsRead, "Autostart", "x"));
    EXPECT_EQ(toolbox.readValue(3, "Autostart"), "x");
    EXPECT_TRUE(toolbox.deleteValue(3, "Autostart"));
    EXPECT_EQ(toolbox.readValue(3, "Autostart"), "");

    // Machine entries never move to the user's Run key.
    toolbox.keyPath = keys::run;
    EXPECT_EQ(toolbox.writeValue(0, "Machine", "machine.exe"), machineWritable);
    EXPECT_FALSE(program.registry.get(RegistryRoot::CurrentUser, keys::run, "Machine"));
  }
}

TEST_F(ToolboxRegistry, EmptyKeyPathReadsAsTheMissingKeyText) {
  toolbox.keyPath.clear();
  EXPECT_EQ(toolbox.readValue(1, "x"), "Registry key was not found :-( ");
  EXPECT_EQ(toolbox.readValue(2, "x"), "Registry key was not found :-( ");
  EXPECT_EQ(toolbox.readValue(3, "x"), ""); // mode 3 has its own key
}

TEST_F(ToolboxRegistry, EmptyAbsentValueAndAbsentKeyAllReadEmpty) {
  toolbox.keyPath = keys::control;
  ASSERT_TRUE(toolbox.writeValue(0, "empty", ""));
  EXPECT_EQ(toolbox.readValue(2, "empty"), "");
  EXPECT_EQ(toolbox.readValue(2, "absent"), "");
  toolbox.keyPath = "SOFTWARE\\Nobody\\Nothing";
  EXPECT_EQ(toolbox.readValue(2, "absent"), "");
  EXPECT_TRUE(toolbox.deleteValue(0, "absent"));
  EXPECT_FALSE(registry.enumerate(RegistryRoot::LocalMachine, toolbox.keyPath));
}

TEST_F(ToolboxRegistry, EnumerationAlwaysStartsFromAnEmptyList) {
  toolbox.keyPath = keys::run;
  ASSERT_TRUE(toolbox.writeValue(1, "b", "b"));
  ASSERT_TRUE(toolbox.writeValue(1, "a", "a"));
  EXPECT_TRUE(toolbox.enumerateValues(RegistryRoot::CurrentUser, keys::run));
  EXPECT_EQ(toolbox.valueNames, (Names{"a", "b"}));
  EXPECT_TRUE(toolbox.enumerateValues(RegistryRoot::LocalMachine, keys::run));
  EXPECT_EQ(toolbox.valueNames, Names{});
  toolbox.valueNames = {"stale"};
  EXPECT_FALSE(toolbox.enumerateValues(RegistryRoot::LocalMachine, "SOFTWARE\\Nobody"));
  EXPECT_EQ(toolbox.valueNames, Names{});
}

TEST_F(ToolboxRegistry, UnknownModesTouchNothing) {
  toolbox.keyPath = keys::run;
  EXPECT_FALSE(toolbox.writeValue(2, "x", "x"));
  EXPECT_FALSE(toolbox.writeValue(3, "x", "x"));
  EXPECT_FALSE(toolbox.deleteValue(2, "x"));
  EXPECT_EQ(toolbox.readValue(0, "x"), "");
  EXPECT_FALSE(fs::exists(xdg.configHome));
  EXPECT_FALSE(fs::exists(xdg.system));
}

} // namespace
} // namespace lw::test
