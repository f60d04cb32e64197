#include "WindowsShell.h"

#include "CommandSplit.h"
#include "support/WideText.h"

#include <objbase.h>
#include <shellapi.h>

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

} // namespace lw
