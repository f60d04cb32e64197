// The file lock and the atomic replacement on Windows itself, across processes: this test
// program starts copies of itself as the other writers.
#include "Fakes.h"
#include "native/windows/WindowsLocation.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace lw {
namespace {

constexpr const char *roleVariable = "LW_FILE_TEST_ROLE";
constexpr const char *fileVariable = "LW_FILE_TEST_FILE";
constexpr int increments = 50;
constexpr std::size_t bigFile = 4 << 20;

// Starts this program as another writer in the given role; the handle of its process.
HANDLE startWriter(const std::string &role, const std::string &file) {
  SetEnvironmentVariableA(roleVariable, role.c_str());
  SetEnvironmentVariableA(fileVariable, file.c_str());
  std::string commandLine = "\"" + moduleFileName(nullptr) + "\" --gtest_filter=Writer.*";
  // Its own test summary must not mix with this program's, which the test runner reads.
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE nothing =
      CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherited, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nothing;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(nothing);
  SetEnvironmentVariableA(roleVariable, nullptr);
  if (!started)
    return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

DWORD waitFor(HANDLE process) {
  WaitForSingleObject(process, 120000);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}

// The other writers. Run alone (without the role variable) they have nothing to do.
TEST(Writer, IncrementsUnderTheLockOrRewritesWhole) {
  const char *role = std::getenv(roleVariable);
  if (!role)
    GTEST_SKIP() << "started by the tests below only";
  const std::string file = std::getenv(fileVariable);
  if (std::string(role) == "increment") {
    for (int i = 0; i < increments; ++i) {
      FileLock lock(file);
      const int value = std::stoi(textfile::readBytes(file));
      textfile::writeAtomically(file, std::to_string(value + 1));
    }
  } else {
    for (char fill = 'a';; fill = fill == 'z' ? 'a' : static_cast<char>(fill + 1))
      textfile::writeAtomically(file, std::string(bigFile, fill));
  }
}

TEST(FileAcrossProcesses, LockedIncrementsOfTwoProcessesAreNeverLost) {
  test::TempDir dir;
  const std::string file = (dir.path() / "counter").string();
  textfile::writeAtomically(file, "0");
  HANDLE first = startWriter("increment", file);
  HANDLE second = startWriter("increment", file);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(waitFor(first), 0u);
  EXPECT_EQ(waitFor(second), 0u);
  EXPECT_EQ(textfile::readBytes(file), std::to_string(2 * increments));
}

TEST(FileAcrossProcesses, KilledWriterLeavesTheOldOrTheNewFileWhole) {
  test::TempDir dir;
  const std::string file = (dir.path() / "big").string();
  textfile::writeAtomically(file, std::string(bigFile, 'a'));
  for (int delay : {30, 80, 150, 250}) {
    HANDLE writer = startWriter("rewrite", file);
    ASSERT_TRUE(writer);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    TerminateProcess(writer, 9);
    EXPECT_EQ(waitFor(writer), 9u);
    const std::string bytes = textfile::readBytes(file);
    ASSERT_EQ(bytes.size(), bigFile) << "killed after " << delay << " ms";
    EXPECT_EQ(bytes.find_first_not_of(bytes.front()), std::string::npos)
        << "killed after " << delay << " ms";
  }
}

// Another program reading the file without sharing deletion blocks its replacement for a
// moment: the save waits it out, and when it does not end, fails with the old file intact.
TEST(FileAcrossProcesses, SaveWaitsOutAReaderAndFailsCleanlyWhenItStays) {
  test::TempDir dir;
  const std::string file = (dir.path() / "0013cst.ini").string();
  textfile::writeAtomically(file, "old");
  for (const bool readerLeaves : {true, false}) {
    HANDLE reader = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    std::thread leaving;
    if (readerLeaves)
      leaving = std::thread([reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        CloseHandle(reader);
      });
    if (readerLeaves) {
      EXPECT_NO_THROW(textfile::writeAtomically(file, "new"));
      leaving.join();
      EXPECT_EQ(textfile::readBytes(file), "new");
    } else {
      EXPECT_THROW(textfile::writeAtomically(file, "newer"), FileError);
      CloseHandle(reader);
      EXPECT_EQ(textfile::readBytes(file), "new");
    }
  }
  std::vector<std::string> left;
  for (const auto &entry : std::filesystem::directory_iterator(dir.path()))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"0013cst.ini"}) << "no temporary file stays";
}

} // namespace
} // namespace lw
