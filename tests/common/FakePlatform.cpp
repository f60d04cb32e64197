#include "FakePlatform.h"

#include <algorithm>

namespace lw::test {

namespace {

std::string fold(std::string_view text) {
  std::string folded(text);
  for (auto &c : folded)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return folded;
}

} // namespace

FakeRegistry::Key *FakeRegistry::findKey(RegistryRoot root, std::string_view keyPath) {
  auto it = keys.find({root, fold(keyPath)});
  return it == keys.end() ? nullptr : &it->second;
}

const FakeRegistry::Key *FakeRegistry::findKey(RegistryRoot root, std::string_view keyPath) const {
  auto it = keys.find({root, fold(keyPath)});
  return it == keys.end() ? nullptr : &it->second;
}

std::optional<std::string> FakeRegistry::read(RegistryRoot root, std::string_view keyPath,
                                              std::string_view name) {
  ++reads;
  return get(root, keyPath, name);
}

std::optional<std::vector<std::string>> FakeRegistry::enumerate(RegistryRoot root,
                                                                std::string_view keyPath) {
  ++enumerations;
  const Key *key = findKey(root, keyPath);
  if (!key)
    return std::nullopt;
  std::vector<std::string> names;
  for (const auto &value : *key)
    names.push_back(value.name);
  return names;
}

bool FakeRegistry::write(RegistryRoot root, std::string_view keyPath, std::string_view name,
                         std::string_view data) {
  ++writes;
  if (denied.count(root))
    return false;
  set(root, keyPath, name, data);
  return true;
}

bool FakeRegistry::remove(RegistryRoot root, std::string_view keyPath, std::string_view name) {
  ++removals;
  if (denied.count(root))
    return false;
  if (Key *key = findKey(root, keyPath))
    std::erase_if(*key, [&](const Value &v) { return fold(v.name) == fold(name); });
  return true;
}

void FakeRegistry::set(RegistryRoot root, std::string_view keyPath, std::string_view name,
                       std::string_view data) {
  Key &key = keys[{root, fold(keyPath)}];
  for (auto &value : key) {
    if (fold(value.name) == fold(name)) {
      value.data = data;
      return;
    }
  }
  key.push_back({std::string(name), std::string(data)});
}

std::optional<std::string> FakeRegistry::get(RegistryRoot root, std::string_view keyPath,
                                             std::string_view name) const {
  if (const Key *key = findKey(root, keyPath))
    for (const auto &value : *key)
      if (fold(value.name) == fold(name))
        return value.data;
  return std::nullopt;
}

FakeStartupState::Key::iterator FakeStartupState::find(RegistryRoot root, std::string_view name) {
  Key &key = keys[root];
  return std::find_if(key.begin(), key.end(),
                      [&](const Entry &entry) { return fold(entry.name) == fold(name); });
}

void FakeStartupState::put(RegistryRoot root, std::string_view name, std::string_view command) {
  if (const auto found = find(root, name); found != keys[root].end())
    found->command = command;
  else
    keys[root].push_back({std::string(name), std::string(command)});
}

std::optional<std::string> FakeStartupState::get(RegistryRoot root, std::string_view name) const {
  const auto key = keys.find(root);
  if (key != keys.end())
    for (const auto &entry : key->second)
      if (fold(entry.name) == fold(name))
        return entry.command;
  return std::nullopt;
}

std::optional<std::vector<std::string>> FakeStartupState::names(RegistryRoot root) {
  std::vector<std::string> listed;
  for (const auto &entry : keys[root])
    listed.push_back(entry.name);
  return listed;
}

std::optional<std::string> FakeStartupState::commandOf(RegistryRoot root, std::string_view name) {
  return get(root, name);
}

bool FakeStartupState::write(RegistryRoot root, std::string_view name, std::string_view command) {
  ++writes;
  if (denied.count(root))
    return false;
  put(root, name, command);
  return true;
}

bool FakeStartupState::remove(RegistryRoot root, std::string_view name) {
  ++removals;
  if (denied.count(root))
    return false;
  std::erase_if(keys[root], [&](const Entry &entry) { return fold(entry.name) == fold(name); });
  return true;
}

std::optional<std::vector<RunEntry>> FakeStartupState::entries(RegistryRoot root) {
  std::vector<RunEntry> listed;
  for (const auto &held : keys[root]) {
    RunEntry entry;
    entry.name = held.name;
    entry.command = held.command;
    const auto key = std::make_pair(root, entry.name);
    if (const auto set = verdicts.find(key); set != verdicts.end()) {
      entry.verdict = set->second.verdict;
      entry.detail = set->second.detail;
    }
    if (disabled.count(key))
      entry.verdict = StartVerdict::Disabled;
    if (const auto file = files.find(entry.name); file != files.end())
      entry.file = file->second;
    listed.push_back(std::move(entry));
  }
  // As on 64-bit Windows: the machine's entries end with its 32-bit key's, marked.
  if (root == RegistryRoot::LocalMachine) {
    auto view32 = entries(RegistryRoot::LocalMachine32);
    for (auto &entry : *view32) {
      entry.view32 = true;
      listed.push_back(std::move(entry));
    }
  }
  return listed;
}

bool FakeStartupState::setEnabled(RegistryRoot root, std::string_view name, bool enabled) {
  const bool exists = std::any_of(keys[root].begin(), keys[root].end(),
                                  [&](const Entry &entry) { return entry.name == name; });
  if (switchFails || !exists)
    return false;
  const auto key = std::make_pair(root, std::string(name));
  if (enabled)
    disabled.erase(key);
  else
    disabled.insert(key);
  return true;
}

bool FakeStartupState::rename(RegistryRoot root, std::string_view from, std::string_view to) {
  ++renames;
  const auto entry = find(root, from);
  if (denied.count(root) || entry == keys[root].end() || get(root, to))
    return false;
  entry->name = to;
  if (disabled.erase({root, std::string(from)}))
    disabled.insert({root, std::string(to)});
  return true;
}

std::optional<std::string> FakeStartupState::snapshot(RegistryRoot root, std::string_view name) {
  return get(root, name);
}

SnapshotRestore FakeStartupState::restoreSnapshot(RegistryRoot root, std::string_view name,
                                                  std::string_view snapshot) {
  return write(root, name, snapshot);
}

std::optional<std::string> FakeStartupState::missingProgram(std::string_view command) {
  if (const auto found = missing.find(std::string(command)); found != missing.end())
    return found->second;
  return std::nullopt;
}

} // namespace lw::test
