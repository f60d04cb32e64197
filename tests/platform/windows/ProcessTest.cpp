// Where the program file is, the local clock and the shell's "open", on Windows itself.
#include "Fakes.h"
#include "native/Native.h"
#include "native/windows/WindowsLocation.h"
#include "native/windows/WindowsShell.h"
#include "support/Toolbox.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <windows.h>

namespace lw {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFile, PathLongerThanTheFirstBufferIsReadWhole) {
  const std::string full = moduleFileName(nullptr, 32768);
  ASSERT_GT(full.size(), 4u);
  ASSERT_TRUE(fs::exists(full)) << full;
  const auto length = static_cast<DWORD>(full.size());

  // What the loop guards against: a buffer exactly as long as the path is filled without a
  // terminator and the answer is the buffer's size, not a shorter length.
  std::wstring cut(length, L'?');
  EXPECT_EQ(GetModuleFileNameW(nullptr, cut.data(), length), length);

  for (DWORD first : {DWORD{1}, DWORD{4}, length - 1, length, length + 1, DWORD{MAX_PATH}})
    EXPECT_EQ(moduleFileName(nullptr, first), full) << "first buffer " << first;
  EXPECT_EQ(WindowsLocation().executablePath(), full);
}

TEST(ProgramFile, ModuleDirectoryIsTheFoldersPathWithoutBackslash) {
  test::FakeRegistry registry;
  test::RecordingShell shell;
  test::FixedClock clock;
  WindowsLocation location;
  test::ScriptedPrompter prompter;
  test::ScriptedFileChooser chooser;
  test::FakeStartupState startup;
  Platform platform{registry, shell, clock, location, prompter, chooser, startup};
  const Toolbox toolbox(platform);
  const std::string directory = toolbox.moduleDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_NE(directory.back(), '\\');
  EXPECT_EQ(toolbox.programFile("windows_platform_tests.exe"), location.executablePath());
  EXPECT_TRUE(fs::is_directory(directory));
}

TEST(LocalClock, WeekdayStartsWithSundayAndTimeGoesOn) {
  auto clock = makeNativeClock();
  const LocalTime before = clock->now();
  const auto started = std::chrono::steady_clock::now();
  clock->sleepFor(std::chrono::milliseconds(120));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(100));
  const LocalTime time = clock->now();
  if (time.day != before.day)
    GTEST_SKIP() << "midnight passed during the test";

  using namespace std::chrono;
  const year_month_day date{year{time.year}, month{static_cast<unsigned>(time.month)},
                            day{static_cast<unsigned>(time.day)}};
  ASSERT_TRUE(date.ok());
  EXPECT_EQ(time.weekday, static_cast<int>(weekday{sys_days{date}}.c_encoding()));
  EXPECT_GE(time.year, 2024);
  EXPECT_LT(time.hour, 24);
  EXPECT_LT(time.minute, 60);
}

TEST(ShellOpen, StartsABatchFileWithoutWaiting) {
  test::TempDir dir;
  const fs::path marker = dir.path() / "marker.txt";
  const fs::path script = dir.path() / "write marker.bat";
  std::ofstream(script) << "@echo started> \"%~dp0marker.txt\"\r\n";

  WindowsShell shell;
  ASSERT_TRUE(shell.open(script.string()));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::exists(marker) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(fs::exists(marker)) << "the batch file did not run within 10 s";
  // The batch file may still hold the marker open for a moment; the folder is removed later.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));

  EXPECT_FALSE(shell.open((dir.path() / "absent.exe").string()));
}

// A document whose first word names a program beside it: read as a command line, "Backup tool.lwx"
// would start Backup.exe with the argument "tool.lwx". Nothing opens an .lwx file.
TEST(ShellOpen, OpensTheTargetWholeNotAsACommandLine) {
  test::TempDir dir;
  fs::copy_file(LW_ARGUMENT_RECORDER, dir.path() / "Backup.exe");
  const fs::path document = dir.path() / "Backup tool.lwx";
  std::ofstream(document) << "data\n";

  WindowsShell().open(document.string());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!fs::exists(dir.path() / "arguments.txt") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(dir.path() / "arguments.txt")) << "Backup.exe was started";
}

// What a program receives from a Run value or a Customized entry with arguments: the program
// quoted or not (a folder with a blank in its name), %variables% expanded, whichever the style.
TEST(ShellStart, HandsTheArgumentsAfterTheProgramToIt) {
  test::TempDir dir;
  const fs::path folder = dir.path() / "with blank";
  fs::create_directories(folder);
  const fs::path program = folder / "recorder.exe";
  fs::copy_file(LW_ARGUMENT_RECORDER, program);
  const fs::path arguments = folder / "arguments.txt";
  SetEnvironmentVariableW(L"LW_RECORDER_FOLDER", folder.wstring().c_str());
  const std::string path = program.string();
  const struct {
    std::string command;
    std::string received;
  } cases[] = {
      {"\"" + path + "\" /x \"two words\" last", "/x\ntwo words\nlast\n"},
      {path + " /y  z", "/y\nz\n"},
      {"%LW_RECORDER_FOLDER%\\recorder.exe \"%LW_RECORDER_FOLDER%\"", folder.string() + "\n"},
      {"\"" + path + "\"", ""},
  };
  WindowsShell shell;
  for (const auto style : {StartStyle::Open, StartStyle::Exec})
    for (const auto &item : cases) {
      fs::remove(arguments);
      const StartResult result = shell.start(item.command, {}, style);
      ASSERT_TRUE(result.started()) << item.command << ": " << result.program;
      // Wine's first start of a program can take many seconds, and a file just renamed into
      // place may not open at once; what was received is read until it is what was sent.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      std::optional<std::string> received;
      while (received != item.received && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (std::ifstream in(arguments, std::ios::binary); in)
          received = std::string(std::istreambuf_iterator<char>(in), {});
      }
      EXPECT_EQ(received, item.received) << item.command;
    }
  const StartResult missing =
      shell.start("\"" + (folder / "absent.exe").string() + "\" /x", {}, StartStyle::Exec);
  EXPECT_EQ(missing.problem, StartProblem::ProgramNotFound);
  EXPECT_EQ(missing.program, (folder / "absent.exe").string());
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

// The publisher a Task Manager user sees: the company of the version information of the program
// the command starts, quoted with a blank in its folder or found on PATH by its bare name.
TEST(ShellPublisher, IsTheCompanyInTheVersionInformationOfTheCommandsProgram) {
  test::TempDir dir;
  const fs::path folder = dir.path() / "with blank";
  fs::create_directories(folder);
  fs::copy_file(LW_BUILT_STARTER, folder / "rwlaunch.exe");
  fs::copy_file(LW_STAND_IN_PROGRAM, folder / "plain.exe");
  std::wstring path(32767, L'\0');
  path.resize(GetEnvironmentVariableW(L"PATH", path.data(), 32767));
  SetEnvironmentVariableW(L"PATH", (folder.wstring() + L";" + path).c_str());
  const struct {
    std::string command;
    std::string program; // the file found; empty: none
    std::string publisher;
  } cases[] = {
      {"\"" + (folder / "rwlaunch.exe").string() + "\" --logon", (folder / "rwlaunch.exe").string(),
       "Kestrumsoft"},
      {"rwlaunch --logon", (folder / "rwlaunch.exe").string(), "Kestrumsoft"},
      {"\"" + (folder / "plain.exe").string() + "\"", (folder / "plain.exe").string(), ""},
      {"\"" + (folder / "absent.exe").string() + "\" /x", "", ""},
  };
  WindowsShell shell;
  for (const auto &item : cases) {
    SCOPED_TRACE(item.command);
    const std::string program = shell.programFile(item.command);
    EXPECT_TRUE(program.empty() ? item.program.empty() : fs::equivalent(program, item.program))
        << program;
    EXPECT_EQ(program.empty() ? std::string() : shell.publisher(program), item.publisher);
  }
  SetEnvironmentVariableW(L"PATH", path.c_str());
}

} // namespace
} // namespace lw
