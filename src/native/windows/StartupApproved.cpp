#include "StartupApproved.h"

#include "WindowsRegistry.h"
#include "support/WideText.h"

#include <algorithm>
#include <array>
#include <windows.h>

namespace lw::startupApproved {
namespace {

constexpr std::array<char, 12> enabledData = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

std::string disabledData() {
  std::string data(12, '\0');
  data[0] = 3;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  std::copy_n(reinterpret_cast<const char *>(&now), sizeof now, data.begin() + 4);
  return data;
}

} // namespace

bool isSwitchedOff(const std::string &data) {
  return !data.empty() && (static_cast<unsigned char>(data[0]) & 1) != 0;
}

std::optional<std::string> read(RegistryRoot root, std::string_view key, std::string_view name) {
  HKEY opened = nullptr;
  if (winreg::openKey(root, key, KEY_QUERY_VALUE, opened) != ERROR_SUCCESS)
    return std::nullopt;
  auto data = winreg::queryRaw(opened, std::string(name));
  RegCloseKey(opened);
  return data;
}

bool write(RegistryRoot root, std::string_view key, std::string_view name,
           const std::string &data) {
  HKEY opened = nullptr;
  if (winreg::createKey(root, key, KEY_SET_VALUE, opened) != ERROR_SUCCESS)
    return false;
  const bool written = RegSetValueExW(opened, wide::fromUtf8(name).c_str(), 0, REG_BINARY,
                                      reinterpret_cast<const BYTE *>(data.data()),
                                      static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
  RegCloseKey(opened);
  return written;
}

bool remove(RegistryRoot root, std::string_view key, std::string_view name) {
  return winreg::removeValue(root, key, name);
}

bool setSwitchedOn(RegistryRoot root, std::string_view key, std::string_view name, bool on) {
  const auto state = read(root, key, name);
  if (state && isSwitchedOff(*state) == !on)
    return true;
  return write(root, key, name,
               on ? std::string(enabledData.begin(), enabledData.end()) : disabledData());
}

} // namespace lw::startupApproved
