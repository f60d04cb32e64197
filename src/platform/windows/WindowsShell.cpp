#include "WindowsShell.h"

#include "WideText.h"

#include <objbase.h>
#include <shellapi.h>

namespace lw {

bool WindowsShell::open(const std::string &target) {
  // Shell extensions behind "open" may need COM on the calling thread. Every successful
  // initialisation, S_FALSE included, is balanced; a thread already in the other mode
  // (RPC_E_CHANGED_MODE) keeps its own set-up.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const HINSTANCE result = ShellExecuteW(nullptr, L"open", wide::fromUtf8(target).c_str(), nullptr,
                                         nullptr, SW_SHOWNORMAL);
  if (SUCCEEDED(com))
    CoUninitialize();
  // Values up to 32 are error codes, by the function's old convention.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace lw
