#pragma once
// Temporary XDG folders and small file helpers for the tests of the Linux platform layer.

#include "Fakes.h"
#include "native/linux/RegistryStore.h"
#include "native/linux/XdgStartupState.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace lw::test {

inline void writeFile(const std::filesystem::path &path, const std::string &bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::optional<std::string> readFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// An executable /bin/sh script.
inline void writeScript(const std::filesystem::path &path, const std::string &body) {
  writeFile(path, "#!/bin/sh\n" + body);
  std::filesystem::permissions(
      path, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                std::filesystem::perms::others_exec);
}

// Waits for a file that another process writes, as long as a loaded machine may need.
inline std::optional<std::string>
waitForFile(const std::filesystem::path &path,
            std::chrono::seconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(path)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100)); // let the writer finish
      return readFile(path);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

// A user configuration folder and two system configuration folders, all temporary.
struct XdgFolders {
  TempDir dir;
  std::filesystem::path configHome = dir.path() / "home" / ".config";
  std::filesystem::path user = configHome / "autostart";
  std::filesystem::path system = dir.path() / "xdg-first" / "autostart";
  std::filesystem::path systemLater = dir.path() / "xdg-later" / "autostart";
  std::filesystem::path store = configHome / "launchwright" / "registry.ini";

  XdgLocations locations() const {
    return {user.string(), {system.string(), systemLater.string()}, store.string()};
  }
};

} // namespace lw::test
