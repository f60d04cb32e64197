#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Whether two key paths or value names are the same to the registry: equal but for the case of
// ASCII letters (never by the user's locale, whose case rules differ).
inline bool sameRegistryName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i]))
      return false;
  return true;
}

// The predefined roots the program touches. LocalMachine32 is the machine's keys as a 32-bit
// program sees them on 64-bit Windows (SOFTWARE\WOW6432Node), where 32-bit installers put their
// Run values; only the Windows registry has that view, and only entries found there use it.
enum class RegistryRoot { LocalMachine, CurrentUser, LocalMachine32 };

// String values by root, key path and value name, with Windows registry semantics: key paths
// compare case-insensitively and an absent key reads as empty. Every call reports whether it
// happened, so that a caller can tell a failed write from a successful one.
class Registry {
public:
  virtual ~Registry() = default;

  // The value's data, or nothing when the key or the value is absent or unreadable.
  virtual std::optional<std::string> read(RegistryRoot root, std::string_view keyPath,
                                          std::string_view name) = 0;

  // The value names of a key in the store's enumeration order, or nothing when the key
  // cannot be opened.
  virtual std::optional<std::vector<std::string>> enumerate(RegistryRoot root,
                                                            std::string_view keyPath) = 0;

  // The same for a caller to whom an absent key and a store that cannot be read mean different
  // things (no entry is switched off, against nobody knows): where the store is a file that
  // exists but cannot be read, this throws FileError naming it. Other stores answer as
  // enumerate does.
  virtual std::optional<std::vector<std::string>> enumerateOrFail(RegistryRoot root,
                                                                  std::string_view keyPath) {
    return enumerate(root, keyPath);
  }

  // Creates the key when needed and sets the value; false when nothing was written.
  virtual bool write(RegistryRoot root, std::string_view keyPath, std::string_view name,
                     std::string_view data) = 0;

  // True when the value is gone afterwards (an absent value or key counts as gone); false when
  // it could not be deleted.
  virtual bool remove(RegistryRoot root, std::string_view keyPath, std::string_view name) = 0;

  // The same for a caller that names the file a change failed on: where the store is a file,
  // these throw FileError naming it with the system's reason. Other stores answer as write and
  // remove do.
  virtual bool writeOrFail(RegistryRoot root, std::string_view keyPath, std::string_view name,
                           std::string_view data) {
    return write(root, keyPath, name, data);
  }
  virtual bool removeOrFail(RegistryRoot root, std::string_view keyPath, std::string_view name) {
    return remove(root, keyPath, name);
  }

  // The files that hold the values other than the Run keys', where the store is made of files
  // that another process (the command line, an editor) may change at any time; a window
  // watches them to take such changes. None for a store that is not made of files.
  virtual std::vector<std::string> storeFiles() const { return {}; }
};

} // namespace lw
