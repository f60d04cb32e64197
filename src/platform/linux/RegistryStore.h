#pragma once
// The per-user file that holds every registry key that is not a Run key: the program's
// settings, the background-mode value, the suite value. The program and the companion starter
// write it from two processes, so every change is a locked read-change-write of the whole file,
// replaced atomically.
//
// Format: UTF-8 or any other bytes, LF line ends. "[<root>\<key path>]" opens a key,
// "<name>=<data>" is a value. '%', control characters and, where they would be read as syntax,
// '=', '[', ';' and ']' are written as %XX, so that values of any length and any bytes,
// line breaks included, come back whole.

#include "platform/Registry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

class RegistryStore {
public:
  explicit RegistryStore(std::string file) : path(std::move(file)) {}

  std::optional<std::string> read(RegistryRoot root, std::string_view keyPath,
                                  std::string_view name) const;
  std::optional<std::vector<std::string>> enumerate(RegistryRoot root,
                                                    std::string_view keyPath) const;
  bool write(RegistryRoot root, std::string_view keyPath, std::string_view name,
             std::string_view data);
  bool remove(RegistryRoot root, std::string_view keyPath, std::string_view name);

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
  };
  using Keys = std::vector<Key>;

  // Nothing when the file exists but cannot be read.
  std::optional<Keys> load() const;
  static std::string serialize(const Keys &keys);
  static Key *find(Keys &keys, RegistryRoot root, std::string_view keyPath);

  std::string path;
};

} // namespace lw
