#pragma once
// The startup state of a registry that knows nothing but its Run values: every value starts,
// and nothing can be switched off. The tests' fake registry and the fuzzers use it.

#include "StartupState.h"

namespace lw {

class RunKeyStartupState : public StartupState {
public:
  static constexpr const char *runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

  explicit RunKeyStartupState(Registry &store) : registry(store) {}

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

  bool rename(RegistryRoot root, std::string_view from, std::string_view to) override {
    const auto command = registry.read(root, runKey, from);
    if (!command || registry.read(root, runKey, to))
      return false;
    if (!registry.write(root, runKey, to, *command))
      return false;
    if (registry.remove(root, runKey, from))
      return true;
    registry.remove(root, runKey, to);
    return false;
  }

  // A plain Run value has nothing but its data.
  std::optional<std::string> snapshot(RegistryRoot root, std::string_view name) override {
    return registry.read(root, runKey, name);
  }

  bool restoreSnapshot(RegistryRoot root, std::string_view name,
                       std::string_view snapshot) override {
    return registry.write(root, runKey, name, snapshot);
  }

  std::optional<std::string> missingProgram(std::string_view) override { return std::nullopt; }

private:
  Registry &registry;
};

} // namespace lw
