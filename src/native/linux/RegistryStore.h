#pragma once
// The registry of a Linux session: one per-user file that holds the program's own keys (its
// settings, the background-mode value, the suite value, the switched-off customized entries);
// the Run keys are the autostart folders, reached through XdgStartupState. The program and the
// companion starter write it from two processes, so every change is a locked read-change-write of
// the whole file, replaced atomically.
//
// Format: UTF-8 or any other bytes, LF line ends. "[<root>\<key path>]" opens a key,
// "<name>=<data>" is a value. '%', control characters and, where they would be read as syntax,
// '=', '[', ';' and ']' are written as %XX, so that values of any length and any bytes,
// line breaks included, come back whole. Lines that cannot be read (a damaged key line and the
// lines under it, a value line without '=', comments) are written back as they were with every
// change, after the values of the key they stand under, so that no hand edit or damage makes a
// change forget what they held.

#include "platform/Registry.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lw {

class RegistryStore : public Registry {
public:
  explicit RegistryStore(std::string file) : path(std::move(file)) {}

  std::optional<std::string> read(RegistryRoot root, std::string_view keyPath,
                                  std::string_view name) override;
  std::optional<std::vector<std::string>> enumerate(RegistryRoot root,
                                                    std::string_view keyPath) override;
  // A file that exists and cannot be read (not a regular file, no permission, larger than
  // textfile::dataReadLimit) is a FileError here instead of an absent key.
  std::optional<std::vector<std::string>> enumerateOrFail(RegistryRoot root,
                                                          std::string_view keyPath) override;
  bool write(RegistryRoot root, std::string_view keyPath, std::string_view name,
             std::string_view data) override;
  bool remove(RegistryRoot root, std::string_view keyPath, std::string_view name) override;
  bool writeOrFail(RegistryRoot root, std::string_view keyPath, std::string_view name,
                   std::string_view data) override;
  bool removeOrFail(RegistryRoot root, std::string_view keyPath, std::string_view name) override;
  std::vector<std::string> storeFiles() const override { return {path}; }

  const std::string &file() const { return path; }

private:
  struct Value {
    std::string name;
    std::string data;
  };
  struct Key {
    RegistryRoot root;
    std::string path;
    std::vector<Value> values;
    // Each value's place in values by its name folded to lower case: a store of many values is
    // read in linear time.
    std::unordered_map<std::string, std::size_t> index;
    // The lines of this key's section that could not be read, in their order.
    std::vector<std::string> kept;
  };
  struct Contents {
    std::vector<std::string> leading; // lines before the first key that could not be read
    std::vector<Key> keys;
  };

  // Throws FileError when the file exists but cannot be read; a missing file holds no keys.
  Contents loadOrThrow() const;
  // Nothing when the file exists but cannot be read.
  std::optional<Contents> load() const;
  static std::string serialize(const Contents &contents);
  static std::optional<std::size_t> find(const std::vector<Key> &keys, RegistryRoot root,
                                         std::string_view keyPath);
  static std::string folded(std::string_view name);
  static void setValue(Key &key, std::string name, std::string data);
  static const Value *findValue(const Key &key, std::string_view name);

  std::string path;
};

} // namespace lw
