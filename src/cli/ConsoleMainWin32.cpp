// launchwright.com: the command line for cmd and PowerShell. launchwright.exe is a window
// program, which a console neither waits for nor lends its streams to; typed without an
// extension, "launchwright" finds this file first (PATHEXT lists .COM before .EXE). It runs the
// commands itself, on the same code as the window's command line, and hands a start of the
// window (no command, or only Qt's options for it) to launchwright.exe beside it.
#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "support/WideText.h"

#include <string>
#include <windows.h>

namespace {

constexpr const wchar_t *windowProgram = L"launchwright.exe";

// The command line after the program's own name, as Windows passed it: the window parses
// the rest itself, so it gets it unchanged.
std::wstring argumentsAfterProgramName() {
  const wchar_t *line = GetCommandLineW();
  if (*line == L'"') {
    ++line;
    while (*line != L'\0' && *line != L'"')
      ++line;
    if (*line == L'"')
      ++line;
  } else {
    while (*line != L'\0' && *line != L' ' && *line != L'\t')
      ++line;
  }
  return line;
}

// Starts the window and returns at once, as starting launchwright.exe from cmd would.
int startWindow() {
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (length == 0)
      break;
    if (length < self.size()) {
      self.resize(length);
      break;
    }
    self.resize(self.size() * 2);
  }
  const std::wstring program =
      self.substr(0, self.find_last_of(L"\\/") + 1) + windowProgram; // npos + 1 == 0
  std::wstring commandLine = L"\"" + program + L"\"" + argumentsAfterProgramName();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    const DWORD error = GetLastError();
    lw::console::writeAll(stderr, "launchwright: cannot start the window " +
                                      lw::wide::toUtf8(program) + " (error " +
                                      std::to_string(error) + ")\n");
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

} // namespace

int main(int argc, char *argv[]) {
  if (lw::onlyWindowOptions(argc, argv))
    return startWindow();
  return lw::runCommandLine(argc, argv);
}
