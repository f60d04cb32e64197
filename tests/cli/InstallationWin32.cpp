// Runs the console program with CreateProcessW, its output read through a pipe as a script
// would, in the test's environment
// with the program's folder first on PATH; the shell is cmd.
#include "Installation.h"

#include "native/windows/WindowsStartupState.h"
#include "support/ProgramValues.h"
#include "support/WideText.h"

#include <algorithm>
#include <cwctype>
#include <windows.h>

namespace lw::test {

namespace {

// One argument as CommandLineToArgvW and the C library read it back.
std::wstring quoted(const std::wstring &argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return argument;
  std::wstring result = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    result.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    result += c;
  }
  result.append(backslashes * 2, L'\\');
  return result + L"\"";
}

bool sameName(const std::string &a, const std::string &b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::towupper(static_cast<unsigned char>(x)) ==
           std::towupper(static_cast<unsigned char>(y));
  });
}

HANDLE inheritableFile(const std::filesystem::path &path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

std::vector<std::string> Installation::userSwitchesNow() {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, wide::fromUtf8(keys::disabledCustomized).c_str(), 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return names;
  wchar_t name[16384];
  for (DWORD index = 0;; ++index) {
    DWORD length = std::size(name);
    if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.push_back(wide::toUtf8({name, length}));
  }
  RegCloseKey(key);
  return names;
}

// A customized entry enters the starter in the user's Run key, and switching one off writes its
// name to the user's registry; both outlive the test's folders and go with them.
Installation::~Installation() {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, wide::fromUtf8(WindowsStartupState::runKey).c_str(),
                     L"Launchwright");
  const std::wstring switches = wide::fromUtf8(keys::disabledCustomized);
  for (const auto &name : userSwitchesNow())
    if (std::ranges::find(userSwitchesBefore, name) == userSwitchesBefore.end())
      RegDeleteKeyValueW(HKEY_CURRENT_USER, switches.c_str(), wide::fromUtf8(name).c_str());
}

const char *const Installation::aProgram = "cmd.exe";

std::vector<std::string> Installation::programFiles() {
  return {"launchwright.exe", "launchwright.com", "rwlaunch.exe"};
}

std::string Installation::commandLineFile() { return "launchwright.com"; }

std::map<std::string, std::string> Installation::baseEnvironment() const {
  std::map<std::string, std::string> variables;
  if (wchar_t *block = GetEnvironmentStringsW()) {
    for (const wchar_t *entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
      const std::string text = wide::toUtf8(entry);
      const auto equals = text.find('=', 1); // "=C:=C:\..." keeps its first '='
      if (equals != std::string::npos)
        variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    FreeEnvironmentStringsW(block);
  }
  std::string path;
  std::erase_if(variables, [&path](const auto &variable) {
    if (!sameName(variable.first, "PATH"))
      return false;
    path = variable.second;
    return true;
  });
  variables["PATH"] = program.string() + ";" + path;
  // Would list every plugin the program loads; the command line loads none.
  variables["QT_DEBUG_PLUGINS"] = "1";
  return variables;
}

Outcome Installation::shell(const std::string &script) const {
  // /s: cmd takes everything between the first and the last quote as the command.
  return execute({"cmd.exe", "/d", "/s", "/c", "\"" + script + "\""}, {}, 0);
}

Outcome Installation::execute(const std::vector<std::string> &argv,
                              const std::vector<std::string> &added, std::uint64_t) const {
  const std::filesystem::path err = dir.path() / "stderr";
  auto variables = baseEnvironment();
  for (const auto &variable : added) {
    const std::string name = variable.substr(0, variable.find('='));
    std::erase_if(variables, [&name](const auto &known) { return sameName(known.first, name); });
    variables[name] = variable.substr(variable.find('=') + 1);
  }
  std::wstring environment;
  for (const auto &[name, value] : variables)
    environment += wide::fromUtf8(name + "=" + value) + L'\0';
  environment += L'\0';

  // cmd's own command line is taken as written after /c.
  const bool cmd = argv.front() == "cmd.exe";
  std::wstring commandLine;
  for (const auto &argument : argv) {
    if (!commandLine.empty())
      commandLine += L' ';
    commandLine += cmd ? wide::fromUtf8(argument) : quoted(wide::fromUtf8(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  HANDLE reader = nullptr;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  if (!CreatePipe(&reader, &startup.hStdOutput, &inherit, 0)) {
    ADD_FAILURE() << "no pipe: error " << GetLastError();
    return {};
  }
  SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
  startup.hStdError = inheritableFile(err);
  PROCESS_INFORMATION process{};
  // Wine reports ERROR_INTERNAL_ERROR when the new process dies while it is being loaded, before
  // any of its own code ran; on a loaded machine that happens now and then. The program under
  // test is not involved yet, so such a start is tried again.
  bool started = false;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                             CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(),
                             dir.path().wstring().c_str(), &startup, &process);
    if (!started && GetLastError() != ERROR_INTERNAL_ERROR)
      break;
  }
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  Outcome result;
  if (!started) {
    ADD_FAILURE() << "cannot start " << argv.front() << ": error " << GetLastError();
    CloseHandle(reader);
    return result;
  }
  // Read to the end before waiting, so that a full pipe cannot stop the program.
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(reader, buffer, sizeof buffer, &got, nullptr) && got > 0)
    result.out.append(buffer, got);
  CloseHandle(reader);
  WaitForSingleObject(process.hProcess, 120000);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  result.status = static_cast<int>(code);
  result.err = slurp(err);
  if (variables["QT_DEBUG_PLUGINS"] == "1") {
    EXPECT_EQ(result.err.find("plugin"), std::string::npos) << result.err;
  }
  return result;
}

} // namespace lw::test
