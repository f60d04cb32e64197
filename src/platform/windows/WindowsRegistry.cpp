#include "WindowsRegistry.h"

#include "WideText.h"

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

LONG openKey(RegistryRoot root, std::string_view path, REGSAM access, OpenKey &key) {
  return winreg::openKey(root, path, access, *key.out());
}

bool isText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A value that keeps growing while it is read would otherwise keep the loop going forever.
constexpr int maximumQueries = 64;

// The longest value name the registry allows, plus its terminator.
constexpr DWORD nameBufferSize = 16384;

} // namespace

HKEY winreg::rootKey(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// An empty path would open the root itself, and the program keeps nothing in a hive's root.
LONG winreg::openKey(RegistryRoot root, std::string_view path, REGSAM access, HKEY &key) {
  if (path.empty())
    return ERROR_FILE_NOT_FOUND;
  return RegOpenKeyExW(rootKey(root), wide::fromUtf8(path).c_str(), 0, access, &key);
}

LONG winreg::createKey(RegistryRoot root, std::string_view path, REGSAM access, HKEY &key) {
  if (path.empty())
    return ERROR_FILE_NOT_FOUND;
  return RegCreateKeyExW(rootKey(root), wide::fromUtf8(path).c_str(), 0, nullptr,
                         REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
}

std::optional<std::string> winreg::queryRaw(HKEY key, const std::string &name, DWORD *type,
                                            QueryFunction query) {
  const std::wstring wideName = wide::fromUtf8(name);
  std::vector<char> buffer(256);
  DWORD size = 0;
  LONG status = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < maximumQueries && status == ERROR_MORE_DATA; ++attempt) {
    if (size > buffer.size())
      buffer.resize(size);
    status =
        query(key, wideName.c_str(), nullptr, type, reinterpret_cast<BYTE *>(buffer.data()), &size);
  }
  if (status != ERROR_SUCCESS)
    return std::nullopt;
  return std::string(buffer.data(), std::min<std::size_t>(size, buffer.size()));
}

std::optional<std::string> winreg::queryValue(HKEY key, const std::string &name,
                                              QueryFunction query) {
  DWORD type = REG_NONE;
  auto bytes = queryRaw(key, name, &type, query);
  if (!bytes)
    return std::nullopt;
  // Data written by other programs may lack the terminator; only a real one is dropped.
  if (!isText(type)) {
    if (!bytes->empty() && bytes->back() == '\0')
      bytes->pop_back();
    return bytes;
  }
  std::wstring text(bytes->size() / sizeof(wchar_t), L'\0');
  std::copy_n(bytes->data(), text.size() * sizeof(wchar_t), reinterpret_cast<char *>(text.data()));
  if (!text.empty() && text.back() == L'\0')
    text.pop_back();
  return wide::toUtf8(text);
}

std::vector<std::string> winreg::valueNames(HKEY key) {
  std::vector<std::string> names;
  DWORD count = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return names;
  std::vector<wchar_t> name(nameBufferSize);
  for (DWORD index = 0; index < count; ++index) {
    DWORD size = nameBufferSize - 1;
    if (RegEnumValueW(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS)
      names.push_back(wide::toUtf8(std::wstring_view(name.data(), size)));
  }
  return names;
}

bool winreg::setText(HKEY key, const std::string &name, std::string_view data) {
  const std::wstring text = wide::fromUtf8(data);
  if ((text.size() + 1) * sizeof(wchar_t) >= std::numeric_limits<DWORD>::max())
    return false;
  return RegSetValueExW(key, wide::fromUtf8(name).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE *>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
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
  if (winreg::createKey(root, keyPath, KEY_SET_VALUE, *key.out()) != ERROR_SUCCESS)
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
  const LONG deleted = RegDeleteValueW(key.get(), wide::fromUtf8(name).c_str());
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

} // namespace lw
