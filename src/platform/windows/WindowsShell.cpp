#include "WindowsShell.h"

#include <shellapi.h>

namespace lw {

bool WindowsShell::open(const std::string &target) {
  const HINSTANCE result =
      ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  // Values up to 32 are error codes, by the function's old convention.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

} // namespace lw
