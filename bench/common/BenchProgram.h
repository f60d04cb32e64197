#pragma once
// A throw-away program directory and a Platform on simple stand-ins, for benchmarks.

#include "platform/Platform.h"
#include "platform/RunKeyStartupState.h"

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
  struct NullRegistry : Registry {
    std::optional<std::string> read(RegistryRoot, std::string_view, std::string_view) override {
      return std::nullopt;
    }
    std::optional<std::vector<std::string>> enumerate(RegistryRoot, std::string_view) override {
      return std::vector<std::string>{};
    }
    bool write(RegistryRoot, std::string_view, std::string_view, std::string_view) override {
      return true;
    }
    bool remove(RegistryRoot, std::string_view, std::string_view) override { return true; }
  };
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
  NullRegistry registry;
  NullShell shell;
  StillClock clock;
  Location location;
  SilentPrompter prompter;
  NoChooser chooser;
  RunKeyStartupState startup{registry};
  Platform system;
};

} // namespace lw::bench
