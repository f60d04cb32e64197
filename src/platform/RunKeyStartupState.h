#pragma once
// The startup state of a registry that knows nothing but its Run values: every value starts,
// and nothing can be switched off. The tests' fake registry and the fuzzers use it.

#include "StartupState.h"

namespace lw {

class RunKeyStartupState : public StartupState {
public:
  static constexpr const char *runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

  explicit RunKeyStartupState(Registry &registry) : registry(registry) {}

  std::optional<std::vector<RunEntry>> entries(RegistryRoot root) override {
    auto names = registry.enumerate(root, runKey);
    if (!names)
      return std::vector<RunEntry>{};
    std::vector<RunEntry> result;
    result.reserve(names->size());
    for (auto &name : *names) {
      RunEntry entry;
      entry.command = registry.read(root, runKey, name).value_or(std::string());
      entry.name = std::move(name);
      result.push_back(std::move(entry));
    }
    return result;
  }

  bool setEnabled(RegistryRoot, std::string_view, bool) override { return false; }

private:
  Registry &registry;
};

} // namespace lw
