#pragma once
// A self-contained stand-in for the operating system, for the fuzz targets: a program
// directory on a RAM disk where there is one (the store fsyncs every write), the tests' fake
// registry and Run keys, a fixed clock and a prompter that answers from the fuzz input.

#include "FakePlatform.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace lw::fuzz {

// Stops the run: libFuzzer keeps the input that broke the property.
[[noreturn]] inline void broken(const char *property) {
  (void)property; // visible in the debugger and in the crash report's stack
  std::abort();
}

#define LW_FUZZ_CHECK(condition)                                                                   \
  do {                                                                                             \
    if (!(condition))                                                                              \
      ::lw::fuzz::broken(#condition);                                                              \
  } while (false)

// Answers from a bit stream; Yes once the stream is used up.
class BitPrompter : public Prompter {
public:
  bool ask(const std::string &text, const std::string &caption) override;
  void tell(const std::string &text, const std::string &caption) override;
  void reset(std::string_view answerBytes);
  int questions = 0;
  int notices = 0;

private:
  std::string bits;
  std::size_t next = 0;
};

// Records what would have been started.
class RecordingShell : public Shell {
public:
  bool open(const std::string &target) override {
    opened.push_back(target);
    return true;
  }
  std::vector<std::string> opened;
};

class FuzzPlatform {
public:
  // Once per process: a fresh program directory with the shipped config.ini and language file.
  static FuzzPlatform &instance();

  std::string file(const char *name) const { return directory + "/" + name; }
  // Plain writes: the harness itself needs no atomicity.
  void put(const char *name, std::string_view bytes) const;
  std::string get(const char *name) const;

  // Writes to the machine's keys fail, or succeed again.
  void denyMachine(bool denied);

  test::FakeRegistry registry;
  test::FakeStartupState startup;
  RecordingShell shell;
  BitPrompter prompter;
  Platform platform;

private:
  FuzzPlatform();
  ~FuzzPlatform();
  std::string directory;
};

} // namespace lw::fuzz
