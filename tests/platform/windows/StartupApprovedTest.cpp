// Switching Run values off and on as Explorer and Task Manager see it, on the real registry, in
// keys of the test's own.
#include "Fakes.h"
#include "RegistryTestKey.h"
#include "native/windows/WindowsLocation.h"
#include "native/windows/WindowsRegistry.h"
#include "native/windows/WindowsStartupState.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace lw {
namespace {

constexpr auto user = RegistryRoot::CurrentUser;

class StartupApprovedTest : public test::RegistryKeyTest {
protected:
  WindowsRegistry registry;
  std::string run = path + "\\Run";
  std::string approved = path + "\\StartupApproved\\Run";
  WindowsStartupState state{registry, run, approved};

  std::map<std::string, StartVerdict> verdicts() {
    std::map<std::string, StartVerdict> result;
    const auto entries = state.entries(user);
    if (entries)
      for (const auto &entry : *entries)
        result[entry.name] = entry.verdict;
    return result;
  }
};

TEST_F(StartupApprovedTest, DisableEnableAndRenameRoundTripThroughTheBinaryValues) {
  const std::string self = moduleFileName(nullptr);
  ASSERT_TRUE(registry.write(user, run, "Tool", "\"" + self + "\" /min"));
  ASSERT_TRUE(registry.write(user, run, "Gone", "C:\\Nowhere\\gone.exe /x"));
  ASSERT_TRUE(registry.write(user, run, "Shell", "cmd /c exit"));
  EXPECT_EQ(verdicts(), (std::map<std::string, StartVerdict>{{"Tool", StartVerdict::Starts},
                                                             {"Gone", StartVerdict::ProgramMissing},
                                                             {"Shell", StartVerdict::Starts}}));

  ASSERT_TRUE(state.setEnabled(user, "Tool", false));
  const auto off = state.approval(user, "Tool").value();
  ASSERT_EQ(off.size(), 12u);
  EXPECT_EQ(off.substr(0, 4), std::string("\x03\0\0\0", 4));
  EXPECT_NE(off.substr(4), std::string(8, '\0')) << "the time it was switched off";
  EXPECT_EQ(verdicts()["Tool"], StartVerdict::Disabled);
  EXPECT_TRUE(state.setEnabled(user, "Tool", false));
  EXPECT_EQ(state.approval(user, "Tool"), off) << "switching off twice keeps the first time";

  // A state Task Manager wrote in its other form (07: off, 06: on) is read the same way.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, approved.c_str(), 0, KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  const std::string taskManagerOff("\x07\0\0\0\1\2\3\4\5\6\7\x08", 12);
  RegSetValueExA(key, "Shell", 0, REG_BINARY, reinterpret_cast<const BYTE *>(taskManagerOff.data()),
                 12);
  RegCloseKey(key);
  EXPECT_EQ(verdicts()["Shell"], StartVerdict::Disabled);

  ASSERT_TRUE(state.rename(user, "Tool", "Tool renamed"));
  EXPECT_EQ(registry.read(user, run, "Tool"), std::nullopt);
  EXPECT_EQ(state.approval(user, "Tool"), std::nullopt);
  EXPECT_EQ(state.approval(user, "Tool renamed"), off);
  EXPECT_FALSE(state.rename(user, "Tool renamed", "Shell")) << "the new name is taken";

  ASSERT_TRUE(state.setEnabled(user, "Tool renamed", true));
  EXPECT_EQ(state.approval(user, "Tool renamed"), std::string("\x02\0\0\0\0\0\0\0\0\0\0\0", 12));
  EXPECT_EQ(verdicts()["Tool renamed"], StartVerdict::Starts);
  EXPECT_FALSE(state.setEnabled(user, "No such value", false));
  EXPECT_EQ(state.approval(user, "No such value"), std::nullopt);
}

TEST(ProgramOfCommand, SplitsAsCreateProcessDoes) {
  const std::string self = moduleFileName(nullptr);
  const std::string folder = std::filesystem::path(self).parent_path().string();
  // An extensionless file named like the first words of a path, programs found by ".exe" and a
  // folder to open.
  test::TempDir dir;
  const std::string d = dir.path().string();
  std::filesystem::create_directories(dir.path() / "Program Files" / "App");
  std::filesystem::create_directories(dir.path() / "My Tools");
  std::filesystem::create_directories(dir.path() / "My Folder");
  for (const char *file : {"Program", "Program Files\\App\\app.exe", "My Tools\\run.exe"})
    std::ofstream(dir.path() / file) << "MZ";
  const struct {
    std::string command;
    std::string program;
  } cases[] = {
      {"\"C:\\Program Files\\Tool\\tool.exe\" /min", "C:\\Program Files\\Tool\\tool.exe"},
      {"  \"unterminated quote", "unterminated quote"},
      {"notepad.exe %1", "notepad.exe"},
      {"C:\\No Such Folder\\x.exe arg", "C:\\No"},
      {self + " --flag", self},
      {"%WINDIR%\\system32\\cmd.exe /c",
       std::string(std::getenv("WINDIR")) + "\\system32\\cmd.exe"},
      {"", ""},
      {d + "\\Program Files\\App\\app.exe /x", d + "\\Program Files\\App\\app.exe"},
      {d + "\\My Tools\\run /x", d + "\\My Tools\\run.exe"},
      {d + "\\My Tools\\run", d + "\\My Tools\\run.exe"},
      {d + "\\My Folder", d + "\\My Folder"},
  };
  for (const auto &item : cases)
    EXPECT_EQ(programOfCommand(item.command), item.program) << item.command;

  WindowsRegistry registry;
  WindowsStartupState state(registry);
  EXPECT_EQ(state.missingProgram("cmd /c exit"), std::nullopt) << "found on the search path";
  EXPECT_EQ(state.missingProgram(self), std::nullopt);
  EXPECT_EQ(state.missingProgram("\"" + folder + "\" /x"), folder) << "a folder is no program";
  EXPECT_EQ(state.missingProgram("no-such-program-here --x"), "no-such-program-here");
}

} // namespace
} // namespace lw
