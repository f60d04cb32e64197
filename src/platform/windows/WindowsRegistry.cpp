#include "WindowsRegistry.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace lw {
namespace {

// Closes a key on every path out of a function.
class OpenKey {
public:
  OpenKey() = default;
  ~OpenKey() {
    if (key)
      RegCloseKey(key);
  }
  OpenKey(const OpenKey &) = delete;
  OpenKey &operator=(const OpenKey &) = delete;
  HKEY *out() { return &key; }
  HKEY get() const { return key; }

private:
  HKEY key = nullptr;
};

// An empty path would open the root itself, and the program keeps nothing in a hive's root.
LONG openKey(RegistryRoot root, std::string_view path, REGSAM access, OpenKey &key) {
  if (path.empty())
    return ERROR_FILE_NOT_FOUND;
  return RegOpenKeyExA(winreg::rootKey(root), std::string(path).c_str(), 0, access, key.out());
}

// A value that keeps growing while it is read would otherwise keep the loop going forever.
constexpr int maximumQueries = 64;

// The longest value name the registry allows, plus its terminator.
constexpr DWORD nameBufferSize = 16384;

} // namespace

HKEY winreg::rootKey(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::optional<std::string> winreg::queryValue(HKEY key, const std::string &name,
                                              QueryFunction query) {
  std::vector<char> buffer(256);
  DWORD size = 0;
  LONG status = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < maximumQueries && status == ERROR_MORE_DATA; ++attempt) {
    if (size > buffer.size())
      buffer.resize(size);
    status =
        query(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE *>(buffer.data()), &size);
  }
  if (status != ERROR_SUCCESS)
    return std::nullopt;
  std::string text(buffer.data(), std::min<std::size_t>(size, buffer.size()));
  // Data written by other programs may lack the terminator; only a real one is dropped.
  if (!text.empty() && text.back() == '\0')
    text.pop_back();
  return text;
}

std::vector<std::string> winreg::valueNames(HKEY key) {
  std::vector<std::string> names;
  char className[260];
  DWORD classSize = sizeof className;
  DWORD count = 0;
  if (RegQueryInfoKeyA(key, className, &classSize, nullptr, nullptr, nullptr, nullptr, &count,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return names;
  std::vector<char> name(nameBufferSize);
  for (DWORD index = 0; index < count; ++index) {
    DWORD size = nameBufferSize - 1;
    if (RegEnumValueA(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS)
      names.emplace_back(name.data(), size);
  }
  return names;
}

bool winreg::setText(HKEY key, const std::string &name, std::string_view data) {
  if (data.size() >= std::numeric_limits<DWORD>::max())
    return false;
  const std::string terminated(data);
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE *>(terminated.c_str()),
                        static_cast<DWORD>(terminated.size() + 1)) == ERROR_SUCCESS;
}

std::optional<std::string> WindowsRegistry::read(RegistryRoot root, std::string_view keyPath,
                                                 std::string_view name) {
  OpenKey key;
  if (openKey(root, keyPath, KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
    return std::nullopt;
  return winreg::queryValue(key.get(), std::string(name));
}

std::optional<std::vector<std::string>> WindowsRegistry::enumerate(RegistryRoot root,
                                                                   std::string_view keyPath) {
  OpenKey key;
  if (openKey(root, keyPath, KEY_READ, key) != ERROR_SUCCESS)
    return std::nullopt;
  return winreg::valueNames(key.get());
}

bool WindowsRegistry::write(RegistryRoot root, std::string_view keyPath, std::string_view name,
                            std::string_view data) {
  if (keyPath.empty())
    return false;
  OpenKey key;
  if (RegCreateKeyExA(winreg::rootKey(root), std::string(keyPath).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.out(),
                      nullptr) != ERROR_SUCCESS)
    return false;
  return winreg::setText(key.get(), std::string(name), data);
}

bool WindowsRegistry::remove(RegistryRoot root, std::string_view keyPath, std::string_view name) {
  OpenKey key;
  const LONG opened = openKey(root, keyPath, KEY_SET_VALUE, key);
  if (opened == ERROR_FILE_NOT_FOUND)
    return true; // no key, so no value either
  if (opened != ERROR_SUCCESS)
    return false;
  const LONG deleted = RegDeleteValueA(key.get(), std::string(name).c_str());
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

} // namespace lw
