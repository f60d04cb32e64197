#include "WindowsShell.h"

#include "CommandSplit.h"
#include "support/WideText.h"

#include <objbase.h>
#include <shellapi.h>
#include <winver.h>

#include <cstdio>
#include <vector>

namespace lw {

// A folder, a document or a shortcut may have blanks in its name, and beside it may be a program
// named like its first words ("Backup tool.lnk" beside "Backup.exe"): the target is handed over
// whole, not read as a command line.
bool WindowsShell::open(const std::string &target) {
  if (target.empty())
    return false;
  return execute(wide::fromUtf8(target), {}, {}, target).started();
}

// Explorer starts a Run value as a command line: the program, then its arguments. The shell's
// "open" of the program part covers both what a Run value and what a document or an address
// needs: a program runs with the arguments, a document goes to its associated program. The
// style makes no difference here; Windows has one way to start either.
StartResult WindowsShell::start(const std::string &target, const std::string &workingDirectory,
                                StartStyle) {
  const SplitCommand command = splitCommand(target);
  if (command.program.empty())
    return {StartProblem::ProgramNotFound, target};
  return execute(wide::fromUtf8(command.program), wide::fromUtf8(command.arguments),
                 wide::fromUtf8(workingDirectory), command.program);
}

StartResult WindowsShell::execute(const std::wstring &file, const std::wstring &parameters,
                                  const std::wstring &folder, const std::string &program) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // Without NOASYNC the start may still be under way on this thread's COM when it returns.
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  // Shell extensions behind "open" may need COM on the calling thread. Every successful
  // initialisation, S_FALSE included, is balanced; a thread already in the other mode
  // (RPC_E_CHANGED_MODE) keeps its own set-up.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const bool started = ShellExecuteExW(&info) != FALSE;
  const DWORD error = started ? ERROR_SUCCESS : GetLastError();
  if (SUCCEEDED(com))
    CoUninitialize();
  if (started)
    return {};
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
    return {StartProblem::ProgramNotFound, program};
  case ERROR_ACCESS_DENIED:
    return {StartProblem::PermissionDenied, program};
  case ERROR_BAD_FORMAT:
    return {StartProblem::NotExecutable, program};
  case ERROR_NO_ASSOCIATION:
    return {StartProblem::NoOpener, program};
  default:
    // Some shells leave only the old code in hInstApp; SE_ERR_NOASSOC is 31, which as a last
    // error would read as a general failure.
    if (reinterpret_cast<INT_PTR>(info.hInstApp) == SE_ERR_NOASSOC)
      return {StartProblem::NoOpener, program};
    return {StartProblem::Other, program};
  }
}

bool WindowsShell::showInFolder(const std::string &file) {
  if (file.empty())
    return false;
  return execute(L"explorer.exe", L"/select,\"" + wide::fromUtf8(file) + L"\"", {}, "explorer.exe")
      .started();
}

bool WindowsShell::showProperties(const std::string &file) {
  if (file.empty())
    return false;
  const std::wstring path = wide::fromUtf8(file);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  // The properties verb is no registered command but the item's context menu entry.
  info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = L"properties";
  info.lpFile = path.c_str();
  info.nShow = SW_SHOWNORMAL;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const bool shown = ShellExecuteExW(&info) != FALSE;
  if (SUCCEEDED(com))
    CoUninitialize();
  return shown;
}

std::string WindowsShell::programFile(const std::string &command) const {
  const std::string program = programOfCommand(command);
  if (program.empty())
    return {};
  const std::wstring name = wide::fromUtf8(program);
  if (program.find_first_of("\\/:") != std::string::npos)
    return GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES ? std::string() : program;
  wchar_t found[MAX_PATH];
  const DWORD length = SearchPathW(nullptr, name.c_str(), L".exe", MAX_PATH, found, nullptr);
  if (length == 0 || length >= MAX_PATH)
    return {};
  return wide::toUtf8({found, length});
}

std::string WindowsShell::publisher(const std::string &file) const {
  const std::wstring path = wide::fromUtf8(file);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0)
    return {};
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
    return {};
  struct Translation {
    WORD language;
    WORD codePage;
  } *translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void **>(&translations), &length) ||
      length < sizeof(Translation))
    return {};
  wchar_t key[64];
  std::swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\CompanyName", translations->language,
                translations->codePage);
  wchar_t *company = nullptr;
  if (!VerQueryValueW(block.data(), key, reinterpret_cast<void **>(&company), &length) ||
      length == 0)
    return {};
  // The length counts the closing null where the file has one.
  std::wstring_view text(company, length);
  while (!text.empty() && text.back() == L'\0')
    text.remove_suffix(1);
  return wide::toUtf8(text);
}

} // namespace lw
