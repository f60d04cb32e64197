#include "Fakes.h"

#include "support/TextFile.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <random>

namespace lw::test {

std::string FakeRegistry::fold(std::string_view text) {
  std::string folded(text);
  for (auto &c : folded)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

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
  if (std::find(denied.begin(), denied.end(), root) != denied.end())
    return false;
  set(root, keyPath, name, data);
  return true;
}

bool FakeRegistry::remove(RegistryRoot root, std::string_view keyPath, std::string_view name) {
  ++removals;
  if (std::find(denied.begin(), denied.end(), root) != denied.end())
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

void FixedClock::set(int year, int month, int day, int hour, int minute, int second) {
  // Sakamoto's method, 0 = Sunday.
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int y = month < 3 ? year - 1 : year;
  time = {year,
          month,
          day,
          hour,
          minute,
          second,
          (y + y / 4 - y / 100 + y / 400 + offsets[month - 1] + day) % 7};
}

bool ScriptedPrompter::ask(const std::string &text, const std::string &caption) {
  shown.push_back({text, caption, true});
  if (answers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return false;
  }
  const bool yes = answers.front();
  answers.pop_front();
  return yes;
}

void ScriptedPrompter::tell(const std::string &text, const std::string &caption) {
  shown.push_back({text, caption, false});
}

void ScriptedPrompter::checkFinished() const {
  EXPECT_TRUE(answers.empty()) << answers.size() << " scripted answer(s) were never asked for";
}

TempDir::TempDir() {
  std::random_device random;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    root = base / ("launchwright-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(root))
      break;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(root, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(root, ignored);
}

std::filesystem::path resourceDir() { return LW_RESOURCE_DIR; }

std::optional<std::vector<RunEntry>> FakeStartupState::entries(RegistryRoot root) {
  auto listed = RunKeyStartupState::entries(root);
  for (auto &entry : *listed) {
    const auto key = std::make_pair(root, entry.name);
    if (const auto set = verdicts.find(key); set != verdicts.end()) {
      entry.verdict = set->second.verdict;
      entry.detail = set->second.detail;
    }
    if (disabled.count(key))
      entry.verdict = StartVerdict::Disabled;
  }
  // As on 64-bit Windows: the machine's entries end with its 32-bit key's, marked.
  if (root == RegistryRoot::LocalMachine) {
    auto view32 = entries(RegistryRoot::LocalMachine32);
    for (auto &entry : *view32) {
      entry.view32 = true;
      listed->push_back(std::move(entry));
    }
  }
  return listed;
}

bool FakeStartupState::setEnabled(RegistryRoot root, std::string_view name, bool enabled) {
  auto listed = RunKeyStartupState::entries(root);
  const bool exists = std::any_of(listed->begin(), listed->end(),
                                  [&](const RunEntry &entry) { return entry.name == name; });
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
  if (!RunKeyStartupState::rename(root, from, to))
    return false;
  if (disabled.erase({root, std::string(from)}))
    disabled.insert({root, std::string(to)});
  return true;
}

std::optional<std::string> FakeStartupState::missingProgram(std::string_view command) {
  if (const auto found = missing.find(std::string(command)); found != missing.end())
    return found->second;
  return std::nullopt;
}

TestProgram::TestProgram()
    : location((dir.path() / "launchwright").generic_string()),
      startup(registry), platform{registry, shell, clock, location, prompter, chooser, startup} {
  for (const char *name : {"config.ini", "0013trl.ini", "0013cst.ini", "0013bkp.ini"})
    std::filesystem::copy_file(resourceDir() / name, dir.path() / name);
  clock.set(2006, 6, 30, 9, 5);
}

void TestProgram::writeFile(const std::string &name, const std::string &bytes) const {
  textfile::writeAtomically(file(name), bytes);
}

std::string TestProgram::readFile(const std::string &name) const {
  return textfile::readBytes(file(name));
}

} // namespace lw::test
