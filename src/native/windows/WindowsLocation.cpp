#include "WindowsLocation.h"

#include "support/WideText.h"

#include <shlobj.h>
#include <vector>

namespace lw {

namespace {
// Beyond the longest path Windows handles there is nothing left to try.
constexpr DWORD largestBuffer = 1 << 16;

bool isFile(const std::string &path) {
  const DWORD attributes = GetFileAttributesW(wide::fromUtf8(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
} // namespace

ProgramLayout decideLayout(const std::string &executable, const std::string &roamingAppData) {
  const auto cut = executable.find_last_of('\\');
  if (cut == std::string::npos || roamingAppData.empty())
    return {};
  if (!isFile(executable.substr(0, cut + 1) + installedMarker))
    return {};
  std::string user = roamingAppData;
  if (user.back() != '\\')
    user += '\\';
  return {{}, user + userFolderName, {}};
}

std::string roamingAppDataFolder() {
  PWSTR folder = nullptr;
  std::string result;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder)))
    result = wide::toUtf8(folder);
  CoTaskMemFree(folder); // the shell's buffer, allocated even when the call fails
  return result;
}

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

WindowsLocation::WindowsLocation()
    : decided(decideLayout(executablePath(), roamingAppDataFolder())) {}

std::string WindowsLocation::executablePath() const { return moduleFileName(nullptr); }

} // namespace lw
