#include "WindowsShell.h"

#include "CommandSplit.h"
#include "WideText.h"

#include <objbase.h>
#include <shellapi.h>

namespace lw {

bool WindowsShell::open(const std::string &target) {
  return start(target, {}, StartStyle::Open).started();
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
  const std::wstring file = wide::fromUtf8(command.program);
  const std::wstring parameters = wide::fromUtf8(command.arguments);
  const std::wstring folder = wide::fromUtf8(workingDirectory);
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
    return {StartProblem::ProgramNotFound, command.program};
  case ERROR_ACCESS_DENIED:
    return {StartProblem::PermissionDenied, command.program};
  case ERROR_BAD_FORMAT:
  case ERROR_NO_ASSOCIATION:
    return {StartProblem::NotExecutable, command.program};
  default:
    return {StartProblem::Other, command.program};
  }
}

} // namespace lw
