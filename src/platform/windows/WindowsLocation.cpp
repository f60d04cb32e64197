#include "WindowsLocation.h"

#include "WideText.h"

#include <vector>

namespace lw {

namespace {
// Beyond the longest path Windows handles there is nothing left to try.
constexpr DWORD largestBuffer = 1 << 16;
} // namespace

std::string moduleFileName(HMODULE module, DWORD initialSize) {
  for (DWORD size = initialSize < 1 ? 1 : initialSize; size <= largestBuffer; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD length = GetModuleFileNameW(module, buffer.data(), size);
    if (length == 0)
      return {};
    if (length < size)
      return wide::toUtf8(std::wstring_view(buffer.data(), length));
  }
  return {};
}

std::string WindowsLocation::executablePath() const { return moduleFileName(nullptr); }

} // namespace lw
