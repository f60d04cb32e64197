#pragma once
// A throw-away program directory and a Platform on simple stand-ins (the tests' fake registry
// and Run keys), for benchmarks.

#include "FakePlatform.h"
#include "platform/Platform.h"

#include <filesystem>
#include <map>
#include <string>

namespace lw::bench {

class BenchProgram {
public:
  BenchProgram();
  ~BenchProgram();
  BenchProgram(const BenchProgram &) = delete;
  BenchProgram &operator=(const BenchProgram &) = delete;

  std::string file(const std::string &name) const { return (dir / name).string(); }
  void writeFile(const std::string &name, const std::string &bytes) const;
  Platform &platform() { return system; }

private:
  struct NullShell : Shell {
    bool open(const std::string &) override { return true; }
  };
  struct StillClock : Clock {
    LocalTime now() const override { return {2026, 12, 7, 10, 0, 0, 1}; }
    void sleepFor(std::chrono::milliseconds) override {}
  };
  struct Location : ProgramLocation {
    std::string path;
    std::string executablePath() const override { return path; }
    char separator() const override { return '/'; }
  };
  struct SilentPrompter : Prompter {
    bool ask(const std::string &, const std::string &) override { return true; }
    void tell(const std::string &, const std::string &) override {}
  };
  struct NoChooser : FileChooser {
    std::optional<std::string> chooseFile() override { return std::nullopt; }
  };

  std::filesystem::path dir;
  test::FakeRegistry registry;
  NullShell shell;
  StillClock clock;
  Location location;
  SilentPrompter prompter;
  NoChooser chooser;
  test::FakeStartupState startup;
  Platform system;
};

} // namespace lw::bench
