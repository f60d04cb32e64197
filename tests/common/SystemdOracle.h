#pragma once
// systemd's reading of the autostart folders, as the second judge beside GLib: its XDG autostart
// generator turns each entry it would start into a unit, and systemd's own unit loader
// (systemd-analyze verify) tells whether that unit can start its program. The two together
// are what a session that starts entries through systemd does at logon.

#include "CStrings.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace lw::test {

inline constexpr const char *systemdGenerator =
    "/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator";
inline constexpr const char *systemdAnalyze = "/usr/bin/systemd-analyze";

inline bool systemdInstalled() {
  return std::filesystem::exists(systemdGenerator) && std::filesystem::exists(systemdAnalyze);
}

// Runs a program with these variables added to ours; its exit status, or -1.
inline int runQuietly(const std::vector<std::string> &argv, const std::vector<std::string> &added) {
  std::vector<std::string> environment(added);
  for (char **variable = environ; *variable; ++variable)
    environment.emplace_back(*variable); // the first of a name wins
  const auto args = cStrings(argv);
  const auto env = cStrings(environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

// The desktop files (their full paths) that systemd starts at logon, from the user folder in
// configHome and the machine folders in configDirs (':'-separated), looking programs up on
// path; nothing when systemd is not installed. work is an empty temporary folder.
inline std::optional<std::set<std::string>> systemdStarts(const std::filesystem::path &configHome,
                                                          const std::string &configDirs,
                                                          const std::string &path,
                                                          const std::filesystem::path &work) {
  if (!systemdInstalled())
    return std::nullopt;
  const auto units = work / "units";
  std::filesystem::create_directories(units);
  const std::vector<std::string> environment = {"XDG_CONFIG_HOME=" + configHome.string(),
                                                "XDG_CONFIG_DIRS=" + configDirs, "PATH=" + path,
                                                "HOME=" + work.string()};
  if (runQuietly({systemdGenerator, units.string()}, environment) != 0)
    return std::nullopt;
  std::set<std::string> started;
  for (const auto &unit : std::filesystem::directory_iterator(units)) {
    if (unit.path().extension() != ".service" ||
        runQuietly({systemdAnalyze, "verify", "--man=no", unit.path().string()}, environment) != 0)
      continue;
    std::ifstream in(unit.path());
    for (std::string line; std::getline(in, line);)
      if (line.starts_with("SourcePath=")) {
        std::string source; // a unit file writes '%' as "%%"
        for (std::size_t i = 11; i < line.size(); ++i)
          if (line[i] != '%' || line[++i] == '%')
            source += line[i];
        started.insert(source);
      }
  }
  std::filesystem::remove_all(units);
  return started;
}

} // namespace lw::test
