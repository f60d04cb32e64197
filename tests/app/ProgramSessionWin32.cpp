// CreateProcessW with the program's own environment and its Windows platform; the marker
// lives in the registry of the Wine prefix.
#include "ProgramSession.h"

#include "native/windows/WindowsRegistry.h"
#include "native/windows/WindowsStartupState.h"
#include "support/ProgramValues.h"

#include <gtest/gtest.h>

#include <thread>
#include <windows.h>

namespace lw::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char *const ProgramSession::ranLine = "ran\r\n";

ProgramSession::ProgramSession() {
  fs::copy_file(LW_BUILT_PROGRAM, program.dir.path() / "launchwright.exe");
}

// A customized entry enters the starter in the user's Run key, which outlives the test's folder.
ProgramSession::~ProgramSession() {
  RegDeleteKeyValueA(HKEY_CURRENT_USER, WindowsStartupState::runKey, "Launchwright");
}

Process ProgramSession::start(const std::vector<std::string> &arguments) const {
  // The program links only the Windows platform plugin; under Wine without a display its
  // windows go to Wine's null driver. The tests' own offscreen platform is not for the child.
  wchar_t own[64] = L"";
  const bool hadOwn = GetEnvironmentVariableW(L"QT_QPA_PLATFORM", own, 64) != 0;
  SetEnvironmentVariableW(L"QT_QPA_PLATFORM", L"windows");
  std::wstring commandLine = L"\"" + (program.dir.path() / "launchwright.exe").wstring() + L"\"";
  for (const auto &argument : arguments) // plain words: no quote or backslash to escape
    commandLine += L" \"" + fs::path(argument).wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                      nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableW(L"QT_QPA_PLATFORM", hadOwn ? own : nullptr);
  if (!started) {
    ADD_FAILURE() << "cannot start launchwright.exe: error " << GetLastError();
    return 0;
  }
  CloseHandle(process.hThread);
  return reinterpret_cast<Process>(process.hProcess);
}

void ProgramSession::leaveLogonMarker() const {
  WindowsRegistry().write(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart", "x");
}

// Read from both roots, as the program does where the machine's is closed to the user.
bool ProgramSession::logonMarkerLeft() const {
  WindowsRegistry registry;
  for (const auto root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser})
    if (registry.read(root, keys::settingsRead, "Autostart"))
      return true;
  return false;
}

// The timer hands the whole command to the shell as the file to open: a program of its own,
// beside the log, without arguments.
std::string ProgramSession::appendRan(const fs::path &file) {
  const fs::path program = file.parent_path() / "append-ran.exe";
  fs::copy_file(LW_APPEND_RAN, program, fs::copy_options::overwrite_existing);
  EXPECT_EQ(file.filename(), "log") << "append-ran.exe writes to \"log\" beside itself";
  return program.string();
}

// The kernel releases a crashed instance's mutex, and its window went with it: nothing is left.
void ProgramSession::leaveCrashedInstance() const {}

std::optional<int> exitCode(Process process) {
  const auto handle = reinterpret_cast<HANDLE>(process);
  if (handle == nullptr)
    return -1;
  if (WaitForSingleObject(handle, 0) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(handle, &code);
  return static_cast<int>(code);
}

int waitForExit(Process process, std::chrono::seconds limit) {
  const auto handle = reinterpret_cast<HANDLE>(process);
  if (handle == nullptr)
    return -1;
  if (WaitForSingleObject(handle, static_cast<DWORD>(limit.count() * 1000)) != WAIT_OBJECT_0) {
    TerminateProcess(handle, 255);
    WaitForSingleObject(handle, INFINITE);
    return -1;
  }
  return *exitCode(process);
}

void askToEnd(Process process) { TerminateProcess(reinterpret_cast<HANDLE>(process), 1); }

} // namespace lw::test
