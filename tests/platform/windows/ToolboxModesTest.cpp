// The registry modes of Toolbox on the real keys of the program. Wine's prefix is thrown away
// after the run, and every value here carries the process id, so nothing real is disturbed.
#include "Fakes.h"
#include "native/windows/WindowsLocation.h"
#include "native/windows/WindowsRegistry.h"
#include "support/Toolbox.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <windows.h>

namespace lw {
namespace {

class ToolboxModes : public ::testing::Test {
protected:
  ~ToolboxModes() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
      for (const char *key : {keys::run, keys::settingsRead, keys::control})
        for (const auto &value : {name, std::string("Autostart")}) {
          HKEY open = nullptr;
          if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &open) == ERROR_SUCCESS) {
            RegDeleteValueA(open, value.c_str());
            RegCloseKey(open);
          }
        }
  }

  // Reads a value with the plain Win32 calls, to see where a mode really put it.
  static std::optional<std::string> raw(HKEY root, const char *key, const std::string &value) {
    HKEY open = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE, &open) != ERROR_SUCCESS)
      return std::nullopt;
    auto text = winreg::queryValue(open, value);
    RegCloseKey(open);
    return text;
  }

  WindowsRegistry registry;
  WindowsLocation location;
  test::RecordingShell shell;
  test::FixedClock clock;
  test::ScriptedPrompter prompter;
  test::ScriptedFileChooser chooser;
  RunKeyStartupState startup{registry};
  Platform platform{registry, shell, clock, location, prompter, chooser, startup};
  Toolbox toolbox{platform};
  const std::string name = "LaunchwrightTest-" + std::to_string(GetCurrentProcessId());
};

TEST_F(ToolboxModes, UserRunKeyIsModeOneForEveryOperation) {
  toolbox.keyPath = keys::run;
  const std::string command = "\"C:\\Program Files\\Tool\\tool.exe\" " + std::string(300, 'a');
  EXPECT_TRUE(toolbox.writeValue(1, name, command));
  EXPECT_EQ(raw(HKEY_CURRENT_USER, keys::run, name), command);
  EXPECT_EQ(raw(HKEY_LOCAL_MACHINE, keys::run, name), std::nullopt);
  EXPECT_EQ(toolbox.readValue(1, name), command);
  EXPECT_EQ(toolbox.readValue(2, name), "");

  ASSERT_TRUE(toolbox.enumerateValues(RegistryRoot::CurrentUser, keys::run));
  EXPECT_EQ(std::count(toolbox.valueNames.begin(), toolbox.valueNames.end(), name), 1);

  EXPECT_TRUE(toolbox.deleteValue(1, name));
  EXPECT_EQ(raw(HKEY_CURRENT_USER, keys::run, name), std::nullopt);
  EXPECT_EQ(toolbox.readValue(1, name), "");
  EXPECT_TRUE(toolbox.deleteValue(1, name));
}

TEST_F(ToolboxModes, MachineKeysAreModesZeroTwoAndThree) {
  toolbox.keyPath = keys::run;
  EXPECT_TRUE(toolbox.writeValue(0, name, "machine"));
  EXPECT_EQ(raw(HKEY_LOCAL_MACHINE, keys::run, name), "machine");
  EXPECT_EQ(raw(HKEY_CURRENT_USER, keys::run, name), std::nullopt);
  EXPECT_EQ(toolbox.readValue(2, name), "machine");
  EXPECT_EQ(toolbox.readValue(1, name), "");
  EXPECT_TRUE(toolbox.deleteValue(0, name));
  EXPECT_EQ(raw(HKEY_LOCAL_MACHINE, keys::run, name), std::nullopt);

  // The marker is read under one spelling of the settings key and deleted under another.
  toolbox.keyPath = keys::settingsRead;
  EXPECT_TRUE(toolbox.writeValue(0, "Autostart", "x"));
  toolbox.keyPath.clear();
  EXPECT_EQ(toolbox.readValue(3, "Autostart"), "x");
  EXPECT_TRUE(toolbox.deleteValue(3, "Autostart"));
  EXPECT_EQ(raw(HKEY_LOCAL_MACHINE, keys::settingsRead, "Autostart"), std::nullopt);
  EXPECT_EQ(toolbox.readValue(3, "Autostart"), "");
}

TEST_F(ToolboxModes, UnsetKeyPathIsReportedAndTouchesNothing) {
  toolbox.keyPath.clear();
  EXPECT_EQ(toolbox.readValue(1, name), "Registry key was not found :-( ");
  EXPECT_EQ(toolbox.readValue(2, name), "Registry key was not found :-( ");
  EXPECT_FALSE(toolbox.writeValue(1, name, "x"));
  EXPECT_EQ(raw(HKEY_CURRENT_USER, "", name), std::nullopt);
}

} // namespace
} // namespace lw
