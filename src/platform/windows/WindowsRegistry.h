#pragma once
// The registry of Windows itself, through the ANSI functions, so that the program's 8-bit texts
// reach it unchanged in the system's code page.

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

// The signature of RegQueryValueExA, so that a test can watch every call.
using QueryFunction = LONG(WINAPI *)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);

// The whole data of a value of any type and length, taken as text: the first query states a size
// of 0 and every ERROR_MORE_DATA is answered with a buffer of the size the registry reported, so
// a value that grows between two queries is still read whole. One terminating NUL is dropped.
// Nothing when the value is absent or cannot be read.
std::optional<std::string> queryValue(HKEY key, const std::string &name,
                                      QueryFunction query = RegQueryValueExA);

// The value names of an open key in the registry's enumeration order.
std::vector<std::string> valueNames(HKEY key);

// Text as REG_SZ data: the bytes and the terminator, with the terminator counted in the size
// as RegSetValueExA requires, so that what reads back is exactly the text.
bool setText(HKEY key, const std::string &name, std::string_view data);

HKEY rootKey(RegistryRoot root);

} // namespace winreg

} // namespace lw
