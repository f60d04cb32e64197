// The entries of the two Run keys through the startup state, on the real keys. Wine's prefix is
// thrown away after the run, and every value here carries the process id, so nothing real is
// disturbed.
#include "native/windows/WindowsRegistry.h"
#include "native/windows/WindowsStartupState.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <windows.h>

namespace lw {
namespace {

class RunKeyEntries : public ::testing::Test {
protected:
  ~RunKeyEntries() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      HKEY open = nullptr;
      if (RegOpenKeyExA(root, WindowsStartupState::runKey, 0, KEY_SET_VALUE, &open) ==
          ERROR_SUCCESS) {
        RegDeleteValueA(open, name.c_str());
        RegCloseKey(open);
      }
    }
  }

  // Reads a value with the plain Win32 calls, to see where an entry really went.
  static std::optional<std::string> raw(HKEY root, const std::string &value) {
    HKEY open = nullptr;
    if (RegOpenKeyExA(root, WindowsStartupState::runKey, 0, KEY_QUERY_VALUE, &open) !=
        ERROR_SUCCESS)
      return std::nullopt;
    auto text = winreg::queryValue(open, value);
    RegCloseKey(open);
    return text;
  }

  WindowsRegistry registry;
  WindowsStartupState startup{registry};
  const std::string name = "LaunchwrightTest-" + std::to_string(GetCurrentProcessId());
};

TEST_F(RunKeyEntries, EachRootIsItsOwnRunKeyForEveryOperation) {
  const struct {
    RegistryRoot root;
    HKEY key;
    HKEY other;
  } cases[] = {{RegistryRoot::CurrentUser, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE},
               {RegistryRoot::LocalMachine, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}};
  const RegistryRoot roots[] = {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.root == RegistryRoot::CurrentUser ? "user" : "machine");
    const RegistryRoot otherRoot = roots[c.root == RegistryRoot::CurrentUser ? 1 : 0];
    const std::string command = "\"C:\\Program Files\\Tool\\tool.exe\" " + std::string(300, 'a');
    EXPECT_TRUE(startup.write(c.root, name, command));
    EXPECT_EQ(raw(c.key, name), command);
    EXPECT_EQ(raw(c.other, name), std::nullopt);
    EXPECT_EQ(startup.commandOf(c.root, name), command);
    EXPECT_EQ(startup.commandOf(otherRoot, name), std::nullopt);
    const auto names = startup.names(c.root).value_or(std::vector<std::string>{});
    EXPECT_EQ(std::count(names.begin(), names.end(), name), 1);

    EXPECT_TRUE(startup.remove(c.root, name));
    EXPECT_EQ(raw(c.key, name), std::nullopt);
    EXPECT_EQ(startup.commandOf(c.root, name), std::nullopt);
    EXPECT_TRUE(startup.remove(c.root, name)) << "an absent entry counts as gone";
  }
}

} // namespace
} // namespace lw
