#include "WindowsShell.h"

#include "WideText.h"

#include <objbase.h>
#include <shellapi.h>

namespace lw {

bool WindowsShell::open(const std::string &target) {
  return start(target, {}, StartStyle::Open).started();
}

StartResult WindowsShell::start(const std::string &target, const std::string &workingDirectory,
                                StartStyle) {
  // Shell extensions behind "open" may need COM on the calling thread. Every successful
  // initialisation, S_FALSE included, is balanced; a thread already in the other mode
  // (RPC_E_CHANGED_MODE) keeps its own set-up.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const HINSTANCE result = ShellExecuteW(
      nullptr, L"open", wide::fromUtf8(target).c_str(), nullptr,
      workingDirectory.empty() ? nullptr : wide::fromUtf8(workingDirectory).c_str(), SW_SHOWNORMAL);
  if (SUCCEEDED(com))
    CoUninitialize();
  // Values up to 32 are error codes, by the function's old convention.
  switch (const INT_PTR code = reinterpret_cast<INT_PTR>(result); code) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
    return {StartProblem::ProgramNotFound, target};
  case SE_ERR_ACCESSDENIED:
    return {StartProblem::PermissionDenied, target};
  case ERROR_BAD_FORMAT:
  case SE_ERR_NOASSOC:
    return {StartProblem::NotExecutable, target};
  default:
    return code > 32 ? StartResult{} : StartResult{StartProblem::Other, target};
  }
}

} // namespace lw
