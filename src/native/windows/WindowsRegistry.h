#pragma once
// The registry of Windows itself, through the wide functions: names, key paths and string data
// are the program's UTF-8 texts on this side and UTF-16 in the registry.

#include "platform/Registry.h"

#include <optional>
#include <string>
#include <windows.h>

namespace lw {

class WindowsRegistry : public Registry {
public:
  std::optional<std::string> read(RegistryRoot root, std::string_view keyPath,
                                  std::string_view name) override;
  std::optional<std::vector<std::string>> enumerate(RegistryRoot root,
                                                    std::string_view keyPath) override;
  bool write(RegistryRoot root, std::string_view keyPath, std::string_view name,
             std::string_view data) override;
  bool remove(RegistryRoot root, std::string_view keyPath, std::string_view name) override;
};

namespace winreg {

// The signature of RegQueryValueExW, so that a test can watch every call.
using QueryFunction = LONG(WINAPI *)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);

// The whole data of a value of any type and length: the first query states a size of 0 and
// every ERROR_MORE_DATA is answered with a buffer of the size the registry reported, so a value
// that grows between two queries is still read whole. Nothing when the value is absent or
// cannot be read.
std::optional<std::string> queryRaw(HKEY key, const std::string &name, DWORD *type = nullptr,
                                    QueryFunction query = RegQueryValueExW);

// The data of a value of any type taken as text: string types in UTF-8, other types as their
// bytes. One terminating NUL is dropped.
std::optional<std::string> queryValue(HKEY key, const std::string &name,
                                      QueryFunction query = RegQueryValueExW);

// The value names of an open key in the registry's enumeration order.
std::vector<std::string> valueNames(HKEY key);

// Text as REG_SZ data: the UTF-16 text and the terminator, with the terminator counted in the
// size as RegSetValueExW requires, so that what reads back is exactly the text.
bool setText(HKEY key, const std::string &name, std::string_view data);

// A value exactly as the registry holds it: string data stays UTF-16 with whatever terminator
// the program that wrote it gave it.
struct RawValue {
  DWORD type = REG_NONE;
  std::string bytes;
  bool operator==(const RawValue &) const = default;
};

// A value found by name as the registry finds it, with the name it is stored under, which may
// differ from the one asked for in case.
struct HeldValue {
  std::string name;
  RawValue value;
};

// What a key holds under a name: found is the value, or nothing when the key or the value is
// absent. False when that cannot be told (no rights to read it).
bool findValue(RegistryRoot root, std::string_view keyPath, std::string_view name,
               std::optional<HeldValue> &found);

// Creates the key when needed and stores the value under exactly this name: one stored under
// the name in another case is replaced, not renamed. False when it could not be stored.
bool setValue(RegistryRoot root, std::string_view keyPath, std::string_view name,
              const RawValue &value);

// True when the key holds no value of the name afterwards (an absent key holds none).
bool removeValue(RegistryRoot root, std::string_view keyPath, std::string_view name);

HKEY rootKey(RegistryRoot root);

// Opens (with create, creates) a key of root by its UTF-8 path; the status of the registry.
LONG openKey(RegistryRoot root, std::string_view path, REGSAM access, HKEY &key);
LONG createKey(RegistryRoot root, std::string_view path, REGSAM access, HKEY &key);

} // namespace winreg

} // namespace lw
