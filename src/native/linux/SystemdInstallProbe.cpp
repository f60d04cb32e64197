#include "SystemdInstallProbe.h"

#include "ChildOutput.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace lw {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string systemctlProgram() {
  for (const char *candidate : {"/usr/bin/systemctl", "/bin/systemctl"})
    if (::access(candidate, X_OK) == 0)
      return candidate;
  return {};
}

// The program's exit status, or -1 when it could not run or had not ended by the deadline.
int runUntil(const std::vector<std::string> &argv, Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() <= 0)
    return -1;
  const ChildOutput run =
      runForOutput(argv.front(), std::vector<std::string>(argv.begin() + 1, argv.end()), left);
  return run.failure.empty() ? run.exitCode : -1;
}

} // namespace

std::optional<std::map<std::string, std::set<std::string>>>
installTargets(const std::map<std::string, std::string> &units,
               const std::set<std::string> &targets, std::chrono::milliseconds budget) {
  std::map<std::string, std::set<std::string>> found;
  const std::string systemctl = systemctlProgram();
  if (units.empty() || systemctl.empty())
    return found;
  const Clock::time_point deadline = Clock::now() + budget;
  std::error_code error;
  std::string pattern = (fs::temp_directory_path(error) / "launchwright-units-XXXXXX").string();
  if (error || !::mkdtemp(pattern.data()))
    return found;
  const fs::path scratch = pattern;
  const fs::path folder = scratch / "etc/systemd/user";
  fs::create_directories(folder, error);

  std::vector<std::string> copied;
  for (const auto &[name, file] : units)
    if (fs::copy_file(file, folder / name, error))
      copied.push_back(name);
  std::vector<std::string> command = {systemctl,     "--global", "--root=" + scratch.string(),
                                      "--no-reload", "--quiet",  "enable",
                                      "--"};
  command.insert(command.end(), copied.begin(), copied.end());
  // One unit systemctl refuses (a template without a default instance, an Also= naming a unit
  // that is not there) fails the whole run; then each is asked alone.
  bool answered = true;
  if (!copied.empty() && runUntil(command, deadline) != 0) {
    command.resize(7);
    for (const auto &name : copied) {
      command.push_back(name);
      answered = runUntil(command, deadline) != -1 || Clock::now() < deadline;
      command.pop_back();
      if (!answered)
        break;
    }
  }

  for (const auto &target : targets)
    for (const char *kind : {".wants", ".requires"})
      for (const auto &link : fs::directory_iterator(folder / (target + kind), error)) {
        // An instance's link is named for the instance but points at its template's file.
        const std::string unit = fs::read_symlink(link.path(), error).filename().string();
        if (!error && units.contains(unit))
          found[unit].insert(target);
      }
  fs::remove_all(scratch, error);
  if (!answered)
    return std::nullopt;
  return found;
}

} // namespace lw
