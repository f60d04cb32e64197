#include "RegistryStore.h"

#include "support/FileError.h"
#include "support/TextFile.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <utility>

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

RegistryStore::Contents RegistryStore::loadOrThrow() const {
  std::string bytes;
  try {
    bytes = textfile::readBytes(path, textfile::dataReadLimit);
  } catch (const FileError &) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && errno == ENOENT)
      return {}; // no store yet: every key is absent
    throw;
  }
  Contents contents;
  // Where the lines that cannot be read go: the section they stand in, so that they are written
  // back in the same place.
  std::vector<std::string> *kept = &contents.leading;
  constexpr std::size_t noKey = static_cast<std::size_t>(-1);
  std::size_t current = noKey;
  bool first = true;
  for (auto &line : textfile::splitLines(bytes)) {
    if (std::exchange(first, false) && line == header)
      continue; // written afresh with every change
    if (line.empty())
      continue;
    if (line.front() == '[' && line.back() == ']') {
      const std::string full = decode(std::string_view(line).substr(1, line.size() - 2));
      const auto slash = full.find('\\');
      const std::string_view root = std::string_view(full).substr(0, slash);
      if (slash != std::string::npos && (root == machineRoot || root == userRoot)) {
        const auto which =
            root == machineRoot ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
        const std::string_view keyPath = std::string_view(full).substr(slash + 1);
        if (const auto known = find(contents.keys, which, keyPath)) {
          current = *known;
        } else {
          current = contents.keys.size();
          contents.keys.push_back({which, std::string(keyPath), {}, {}, {}});
        }
        kept = &contents.keys[current].kept;
        continue;
      }
    }
    // A damaged key line: it and every line up to the next key stay as they are.
    if (line.front() == '[')
      current = noKey;
    const auto equals = line.find('=');
    if (current == noKey || line.front() == ';' || line.front() == '[' ||
        equals == std::string::npos) {
      kept->push_back(std::move(line));
      continue;
    }
    setValue(contents.keys[current], decode(std::string_view(line).substr(0, equals)),
             decode(std::string_view(line).substr(equals + 1)));
  }
  return contents;
}

std::optional<RegistryStore::Contents> RegistryStore::load() const {
  try {
    return loadOrThrow();
  } catch (const FileError &) {
    return std::nullopt;
  }
}

std::string RegistryStore::serialize(const Contents &contents) {
  std::string bytes(header);
  bytes += '\n';
  auto keep = [&](const std::vector<std::string> &lines) {
    for (const auto &line : lines) {
      bytes += line;
      bytes += '\n';
    }
  };
  keep(contents.leading);
  for (const auto &key : contents.keys) {
    bytes += '[';
    bytes += encode(std::string(rootName(key.root)) + "\\" + key.path, "]");
    bytes += "]\n";
    for (const auto &value : key.values) {
      bytes += encode(value.name, "=[;");
      bytes += '=';
      bytes += encode(value.data, "");
      bytes += '\n';
    }
    keep(key.kept);
  }
  return bytes;
}

std::optional<std::size_t> RegistryStore::find(const std::vector<Key> &keys, RegistryRoot root,
                                               std::string_view keyPath) {
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (keys[i].root == root && sameRegistryName(keys[i].path, keyPath))
      return i;
  return std::nullopt;
}

std::string RegistryStore::folded(std::string_view name) {
  std::string result(name);
  for (char &c : result)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return result;
}

void RegistryStore::setValue(Key &key, std::string name, std::string data) {
  // The first spelling of a name stays; a later one only replaces the data.
  const auto [at, added] = key.index.try_emplace(folded(name), key.values.size());
  if (added)
    key.values.push_back({std::move(name), std::move(data)});
  else
    key.values[at->second].data = std::move(data);
}

const RegistryStore::Value *RegistryStore::findValue(const Key &key, std::string_view name) {
  const auto at = key.index.find(folded(name));
  return at == key.index.end() ? nullptr : &key.values[at->second];
}

std::optional<std::string> RegistryStore::read(RegistryRoot root, std::string_view keyPath,
                                               std::string_view name) {
  const auto contents = load();
  if (!contents)
    return std::nullopt;
  if (const auto key = find(contents->keys, root, keyPath))
    if (const Value *value = findValue(contents->keys[*key], name))
      return value->data;
  return std::nullopt;
}

std::optional<std::vector<std::string>> RegistryStore::enumerateOrFail(RegistryRoot root,
                                                                       std::string_view keyPath) {
  Contents contents = loadOrThrow();
  const auto key = find(contents.keys, root, keyPath);
  if (!key)
    return std::nullopt;
  std::vector<std::string> names;
  names.reserve(contents.keys[*key].values.size());
  for (auto &value : contents.keys[*key].values)
    names.push_back(std::move(value.name));
  return names;
}

std::optional<std::vector<std::string>> RegistryStore::enumerate(RegistryRoot root,
                                                                 std::string_view keyPath) {
  try {
    return enumerateOrFail(root, keyPath);
  } catch (const FileError &) {
    return std::nullopt;
  }
}

bool RegistryStore::write(RegistryRoot root, std::string_view keyPath, std::string_view name,
                          std::string_view data) {
  try {
    return writeOrFail(root, keyPath, name, data);
  } catch (const FileError &) {
    return false;
  }
}

bool RegistryStore::writeOrFail(RegistryRoot root, std::string_view keyPath, std::string_view name,
                                std::string_view data) {
  std::error_code ignored; // a folder that cannot be made shows as the lock's failure
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  FileLock lock(path);
  Contents contents = loadOrThrow();
  auto key = find(contents.keys, root, keyPath);
  if (!key) {
    key = contents.keys.size();
    contents.keys.push_back({root, std::string(keyPath), {}, {}, {}});
  }
  setValue(contents.keys[*key], std::string(name), std::string(data));
  textfile::writeAtomically(path, serialize(contents));
  return true;
}

bool RegistryStore::remove(RegistryRoot root, std::string_view keyPath, std::string_view name) {
  try {
    return removeOrFail(root, keyPath, name);
  } catch (const FileError &) {
    return false;
  }
}

bool RegistryStore::removeOrFail(RegistryRoot root, std::string_view keyPath,
                                 std::string_view name) {
  if (!read(root, keyPath, name)) {
    loadOrThrow(); // absent counts as gone, unless the store cannot be read
    return true;
  }
  FileLock lock(path);
  Contents contents = loadOrThrow();
  if (const auto key = find(contents.keys, root, keyPath)) {
    // The key itself stays, as a registry key does when its last value goes.
    std::erase_if(contents.keys[*key].values,
                  [&](const Value &value) { return sameRegistryName(value.name, name); });
    textfile::writeAtomically(path, serialize(contents));
  }
  return true;
}

} // namespace lw
