#pragma once
// RegNotifyChangeKeyValue on the keys of what starts at logon.

#include "platform/RegistryWatch.h"

#include <memory>
#include <string>
#include <vector>

namespace lw {

class RegistryKeyWatch : public RegistryWatch {
public:
  // The key paths below both roots; the machine's in its 64-bit and its 32-bit view. Tests
  // name keys of their own.
  explicit RegistryKeyWatch(std::vector<std::string> keyPaths);
  ~RegistryKeyWatch() override;
  RegistryKeyWatch(const RegistryKeyWatch &) = delete;
  RegistryKeyWatch &operator=(const RegistryKeyWatch &) = delete;

  std::vector<void *> handles() const override;
  void rearm(void *handle) override;
  std::vector<std::string> unwatched() const override;

  struct Key;

private:
  std::vector<std::unique_ptr<Key>> keys;
};

// Run, RunOnce and StartupApproved (with its Run, Run32 and StartupFolder keys).
std::vector<std::string> startupKeyPaths();

} // namespace lw
