#pragma once
// The RunOnce keys of the user and of the machine, the machine's in both its views: Explorer runs
// each value at the next logon and deletes it, so there is nothing to switch; they are listed for
// what will start once.

#include "platform/LogonSources.h"
#include "platform/Registry.h"

#include <string>

namespace lw {

class RunOnceKeys : public LogonSource {
public:
  static constexpr const char *runOnceKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

  // The registry and the key are parameters so that tests can work in a key of their own.
  explicit RunOnceKeys(Registry &store, std::string keyPath = runOnceKey)
      : registry(store), key(std::move(keyPath)) {}

  static constexpr LogonReason runsOnce{{826}, {841}}; // then the value is deleted
  static constexpr const LogonReason *reasons[] = {&runsOnce};
  static constexpr LogonKind description{"run-once", {807}, {813}, reasons};

  LogonSourceKind kind() const override { return &description; }
  LogonSourceListing list() override;
  // The keys are watched with the Run keys.
  LogonWatch watchPlaces() override { return {{}, {}, false}; }

private:
  Registry &registry;
  std::string key;
};

} // namespace lw
