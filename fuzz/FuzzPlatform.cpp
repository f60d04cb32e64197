#include "FuzzPlatform.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace lw::fuzz {

namespace {

std::string fold(std::string_view text) {
  std::string folded(text);
  for (auto &c : folded)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

class StillClock : public Clock {
public:
  LocalTime now() const override { return {2006, 6, 30, 9, 5, 0, 5}; }
  void sleepFor(std::chrono::milliseconds) override {}
};

class DirectoryLocation : public ProgramLocation {
public:
  std::string executablePath() const override { return path; }
  char separator() const override { return '/'; }
  std::string path;
};

class NoChooser : public FileChooser {
public:
  std::optional<std::string> chooseFile() override { return std::nullopt; }
};

StillClock clock;
DirectoryLocation location;
NoChooser chooser;

std::string makeDirectory() {
  const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
  std::string pattern = base + "/launchwright-fuzz-XXXXXX";
  if (!::mkdtemp(pattern.data()))
    std::abort();
  return pattern;
}

} // namespace

std::optional<std::string> MapRegistry::read(RegistryRoot root, std::string_view keyPath,
                                             std::string_view name) {
  auto key = keys.find({root, fold(keyPath)});
  if (key != keys.end())
    for (const auto &[valueName, data] : key->second)
      if (fold(valueName) == fold(name))
        return data;
  return std::nullopt;
}

std::optional<std::vector<std::string>> MapRegistry::enumerate(RegistryRoot root,
                                                               std::string_view keyPath) {
  auto key = keys.find({root, fold(keyPath)});
  if (key == keys.end())
    return std::nullopt;
  std::vector<std::string> names;
  for (const auto &value : key->second)
    names.push_back(value.first);
  return names;
}

bool MapRegistry::write(RegistryRoot root, std::string_view keyPath, std::string_view name,
                        std::string_view data) {
  ++writes;
  if (root == RegistryRoot::LocalMachine && machineDenied)
    return false;
  auto &key = keys[{root, fold(keyPath)}];
  for (auto &value : key)
    if (fold(value.first) == fold(name)) {
      value.second = data;
      return true;
    }
  key.emplace_back(name, data);
  return true;
}

bool MapRegistry::remove(RegistryRoot root, std::string_view keyPath, std::string_view name) {
  if (root == RegistryRoot::LocalMachine && machineDenied)
    return false;
  auto key = keys.find({root, fold(keyPath)});
  if (key != keys.end())
    std::erase_if(key->second, [&](const auto &value) { return fold(value.first) == fold(name); });
  return true;
}

bool BitPrompter::ask(const std::string &, const std::string &) {
  ++questions;
  if (next / 8 >= bits.size())
    return true;
  const bool yes = (static_cast<unsigned char>(bits[next / 8]) >> (next % 8)) & 1u;
  ++next;
  return yes;
}

void BitPrompter::tell(const std::string &, const std::string &) { ++notices; }

void BitPrompter::reset(std::string_view answerBytes) {
  bits = answerBytes;
  next = 0;
  questions = 0;
  notices = 0;
}

FuzzPlatform &FuzzPlatform::instance() {
  static FuzzPlatform platform;
  return platform;
}

FuzzPlatform::FuzzPlatform()
    : platform{registry, shell, clock, location, prompter, chooser, startup},
      directory(makeDirectory()) {
  location.path = directory + "/launchwright";
  for (const char *name : {"config.ini", "0013trl.ini"})
    std::filesystem::copy_file(std::filesystem::path(LW_RESOURCE_DIR) / name,
                               std::filesystem::path(directory) / name);
}

FuzzPlatform::~FuzzPlatform() {
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
}

void FuzzPlatform::put(const char *name, std::string_view bytes) const {
  std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string FuzzPlatform::get(const char *name) const {
  std::ifstream in(file(name), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return std::move(content).str();
}

} // namespace lw::fuzz
