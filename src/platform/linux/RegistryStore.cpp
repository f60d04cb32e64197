#include "RegistryStore.h"

#include "support/FileError.h"
#include "support/TextFile.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace lw {
namespace {

constexpr std::string_view machineRoot = "HKEY_LOCAL_MACHINE";
constexpr std::string_view userRoot = "HKEY_CURRENT_USER";
constexpr std::string_view header = "; Launchwright registry store: [root\\key] lines open a key, "
                                    "name=data lines follow; %XX stands for one byte.";

std::string encode(std::string_view text, std::string_view special) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '%' || special.find(c) != std::string_view::npos) {
      encoded += '%';
      encoded += digits[byte >> 4];
      encoded += digits[byte & 15];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

std::string decode(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
        hexDigit(text[i + 2]) >= 0) {
      decoded += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

std::string_view rootName(RegistryRoot root) {
  return root == RegistryRoot::LocalMachine ? machineRoot : userRoot;
}

} // namespace

std::optional<RegistryStore::Keys> RegistryStore::load() const {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
    return std::nullopt;
  std::string bytes;
  try {
    bytes = textfile::readBytes(path);
  } catch (const FileError &) {
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT)
      return Keys{}; // no store yet: every key is absent
    return std::nullopt;
  }
  Keys keys;
  Key *current = nullptr;
  for (auto line : textfile::splitLines(bytes)) {
    if (line.empty() || line.front() == ';')
      continue;
    if (line.front() == '[') {
      current = nullptr;
      if (line.back() != ']')
        continue;
      const std::string full = decode(std::string_view(line).substr(1, line.size() - 2));
      const auto slash = full.find('\\');
      const std::string_view root = std::string_view(full).substr(0, slash);
      if (slash == std::string::npos || (root != machineRoot && root != userRoot))
        continue; // a damaged key line: its values are unreachable
      const auto which =
          root == machineRoot ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
      current = find(keys, which, std::string_view(full).substr(slash + 1));
      if (!current) {
        keys.push_back({which, full.substr(slash + 1), {}});
        current = &keys.back();
      }
      continue;
    }
    const auto equals = line.find('=');
    if (!current || equals == std::string::npos)
      continue;
    std::string name = decode(std::string_view(line).substr(0, equals));
    std::string data = decode(std::string_view(line).substr(equals + 1));
    bool replaced = false;
    for (auto &value : current->values)
      if (sameRegistryName(value.name, name)) {
        value.data = std::move(data);
        replaced = true;
      }
    if (!replaced)
      current->values.push_back({std::move(name), std::move(data)});
  }
  return keys;
}

std::string RegistryStore::serialize(const Keys &keys) {
  std::string bytes(header);
  bytes += '\n';
  for (const auto &key : keys) {
    bytes += '[';
    bytes += encode(std::string(rootName(key.root)) + "\\" + key.path, "]");
    bytes += "]\n";
    for (const auto &value : key.values) {
      bytes += encode(value.name, "=[;");
      bytes += '=';
      bytes += encode(value.data, "");
      bytes += '\n';
    }
  }
  return bytes;
}

RegistryStore::Key *RegistryStore::find(Keys &keys, RegistryRoot root, std::string_view keyPath) {
  for (auto &key : keys)
    if (key.root == root && sameRegistryName(key.path, keyPath))
      return &key;
  return nullptr;
}

std::optional<std::string> RegistryStore::read(RegistryRoot root, std::string_view keyPath,
                                               std::string_view name) const {
  auto keys = load();
  if (!keys)
    return std::nullopt;
  if (const Key *key = find(*keys, root, keyPath))
    for (const auto &value : key->values)
      if (sameRegistryName(value.name, name))
        return value.data;
  return std::nullopt;
}

std::optional<std::vector<std::string>> RegistryStore::enumerate(RegistryRoot root,
                                                                 std::string_view keyPath) const {
  auto keys = load();
  if (!keys)
    return std::nullopt;
  const Key *key = find(*keys, root, keyPath);
  if (!key)
    return std::nullopt;
  std::vector<std::string> names;
  for (const auto &value : key->values)
    names.push_back(value.name);
  return names;
}

bool RegistryStore::write(RegistryRoot root, std::string_view keyPath, std::string_view name,
                          std::string_view data) {
  try {
    std::error_code ignored; // a folder that cannot be made shows as the lock's failure
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    FileLock lock(path);
    auto keys = load();
    if (!keys)
      return false;
    Key *key = find(*keys, root, keyPath);
    if (!key) {
      keys->push_back({root, std::string(keyPath), {}});
      key = &keys->back();
    }
    bool replaced = false;
    for (auto &value : key->values)
      if (sameRegistryName(value.name, name)) {
        value.data = data;
        replaced = true;
      }
    if (!replaced)
      key->values.push_back({std::string(name), std::string(data)});
    textfile::writeAtomically(path, serialize(*keys));
    return true;
  } catch (const FileError &) {
    return false;
  }
}

bool RegistryStore::remove(RegistryRoot root, std::string_view keyPath, std::string_view name) {
  auto present = [&] { return read(root, keyPath, name).has_value(); };
  if (!present())
    return load().has_value(); // absent counts as gone, unless the store cannot be read
  try {
    FileLock lock(path);
    auto keys = load();
    if (!keys)
      return false;
    if (Key *key = find(*keys, root, keyPath)) {
      // The key itself stays, as a registry key does when its last value goes.
      std::erase_if(key->values,
                    [&](const Value &value) { return sameRegistryName(value.name, name); });
      textfile::writeAtomically(path, serialize(*keys));
    }
    return true;
  } catch (const FileError &) {
    return false;
  }
}

} // namespace lw
