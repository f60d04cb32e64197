#include "FuzzPlatform.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace lw::fuzz {

namespace {

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

void FuzzPlatform::denyMachine(bool denied) {
  if (denied) {
    registry.denyWrites(RegistryRoot::LocalMachine);
    startup.denyWrites(RegistryRoot::LocalMachine);
  } else {
    registry.allowWrites(RegistryRoot::LocalMachine);
    startup.allowWrites(RegistryRoot::LocalMachine);
  }
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
