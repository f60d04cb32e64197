#include "WindowsRegistry.h"

#include "support/WideText.h"

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

// The name a value is stored under, found as the registry finds names: equal but for case, by
// the registry's own ordinal rules rather than ASCII alone.
std::optional<std::string> storedName(HKEY key, const std::string &name) {
  const std::wstring wanted = wide::fromUtf8(name);
  for (auto &candidate : winreg::valueNames(key)) {
    const std::wstring held = wide::fromUtf8(candidate);
    if (CompareStringOrdinal(held.data(), static_cast<int>(held.size()), wanted.data(),
                             static_cast<int>(wanted.size()), TRUE) == CSTR_EQUAL)
      return std::move(candidate);
  }
  return std::nullopt;
}

} // namespace

HKEY winreg::rootKey(RegistryRoot root) {
  return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

namespace {

// The 32-bit view is the same hive seen through the redirection 32-bit programs get.
REGSAM viewOf(RegistryRoot root, REGSAM access) {
  return root == RegistryRoot::LocalMachine32 ? access | KEY_WOW64_32KEY : access;
}

} // namespace

// An empty path would open the root itself, and the program keeps nothing in a hive's root.
LONG winreg::openKey(RegistryRoot root, std::string_view path, REGSAM access, HKEY &key) {
  if (path.empty())
    return ERROR_FILE_NOT_FOUND;
  return RegOpenKeyExW(rootKey(root), wide::fromUtf8(path).c_str(), 0, viewOf(root, access), &key);
}

LONG winreg::createKey(RegistryRoot root, std::string_view path, REGSAM access, HKEY &key) {
  if (path.empty())
    return ERROR_FILE_NOT_FOUND;
  return RegCreateKeyExW(rootKey(root), wide::fromUtf8(path).c_str(), 0, nullptr,
                         REG_OPTION_NON_VOLATILE, viewOf(root, access), nullptr, &key, nullptr);
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
  return winreg::removeValue(root, keyPath, name);
}

bool winreg::removeValue(RegistryRoot root, std::string_view keyPath, std::string_view name) {
  OpenKey key;
  const LONG opened = openKey(root, keyPath, KEY_SET_VALUE, key);
  if (opened == ERROR_FILE_NOT_FOUND)
    return true; // no key, so no value either
  if (opened != ERROR_SUCCESS)
    return false;
  const LONG deleted = RegDeleteValueW(key.get(), wide::fromUtf8(name).c_str());
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool winreg::findValue(RegistryRoot root, std::string_view keyPath, std::string_view name,
                       std::optional<HeldValue> &found) {
  found.reset();
  OpenKey key;
  const LONG opened = openKey(root, keyPath, KEY_QUERY_VALUE, key);
  if (opened == ERROR_FILE_NOT_FOUND)
    return true;
  if (opened != ERROR_SUCCESS)
    return false;
  const std::string asked(name);
  RawValue value;
  auto bytes = queryRaw(key.get(), asked, &value.type);
  if (!bytes)
    return RegQueryValueExW(key.get(), wide::fromUtf8(name).c_str(), nullptr, nullptr, nullptr,
                            nullptr) == ERROR_FILE_NOT_FOUND;
  value.bytes = std::move(*bytes);
  found = HeldValue{storedName(key.get(), asked).value_or(asked), std::move(value)};
  return true;
}

bool winreg::setValue(RegistryRoot root, std::string_view keyPath, std::string_view name,
                      const RawValue &value) {
  if (keyPath.empty() || value.bytes.size() >= std::numeric_limits<DWORD>::max())
    return false;
  OpenKey key;
  if (winreg::createKey(root, keyPath, KEY_QUERY_VALUE | KEY_SET_VALUE, *key.out()) !=
      ERROR_SUCCESS)
    return false;
  const std::string wanted(name);
  // Setting a value keeps the name it is stored under, so another case has to go first.
  const auto stored = storedName(key.get(), wanted);
  if (stored && *stored != wanted &&
      RegDeleteValueW(key.get(), wide::fromUtf8(*stored).c_str()) != ERROR_SUCCESS)
    return false;
  // For string types Windows counts in a terminator the size leaves out whenever the character
  // after the data is NUL, reading past the data to tell; one that is not keeps data stored
  // without a terminator exactly as it was.
  const std::string data = value.bytes + "\xff\xff";
  return RegSetValueExW(key.get(), wide::fromUtf8(wanted).c_str(), 0, value.type,
                        reinterpret_cast<const BYTE *>(data.data()),
                        static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

} // namespace lw
