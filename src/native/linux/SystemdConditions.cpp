#include "SystemdConditions.h"

#include <dirent.h>
#include <glob.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace lw {

namespace {

using Condition = SystemdManager::Condition;

// A folder holds something other than hidden and backup files, which systemd passes over.
bool hasEntries(const std::string &folder) {
  DIR *dir = ::opendir(folder.c_str());
  if (!dir)
    return false;
  bool found = false;
  while (const dirent *entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!name.starts_with('.') && !name.ends_with('~')) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// The condition as it stands now, before negation; nothing where it is not one of ours.
std::optional<bool> checkNow(const Condition &condition,
                             const std::vector<std::string> &environment) {
  const std::string &type = condition.type;
  const std::string what = type.substr(type.starts_with("Assert") ? 6 : 9);
  const std::string &path = condition.parameter;
  struct stat status {};
  if (what == "PathExists")
    return ::access(path.c_str(), F_OK) == 0;
  if (what == "PathExistsGlob") {
    glob_t found{};
    const bool any = ::glob(path.c_str(), GLOB_NOSORT | GLOB_BRACE, nullptr, &found) == 0;
    ::globfree(&found);
    return any;
  }
  if (what == "PathIsDirectory")
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
  if (what == "PathIsSymbolicLink")
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
  if (what == "DirectoryNotEmpty")
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && hasEntries(path);
  if (what == "FileNotEmpty")
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
  if (what == "FileIsExecutable")
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           (status.st_mode & 0111) != 0;
  if (what == "Environment") {
    const bool whole = path.find('=') != std::string::npos;
    for (const auto &entry : environment)
      if (whole ? entry == path : entry.starts_with(path + '='))
        return true;
    return false;
  }
  return std::nullopt;
}

std::string written(const Condition &condition) {
  return condition.type + '=' + (condition.trigger ? "|" : "") + (condition.negate ? "!" : "") +
         condition.parameter;
}

// Held, failed or not known: a failure at the last start counts, and so does one now.
std::optional<bool> holds(const Condition &condition, const std::vector<std::string> &environment) {
  if (condition.result < 0)
    return false;
  const auto now = checkNow(condition, environment);
  if (now)
    return *now != condition.negate;
  if (condition.result > 0)
    return true;
  return std::nullopt;
}

// One kind, conditions or assertions: every plain one must hold, and one of the '|' ones.
ConditionJudgement judgeKind(const std::vector<Condition> &conditions,
                             const std::vector<std::string> &environment, bool asserts) {
  const Condition *plainUnknown = nullptr, *triggerUnknown = nullptr, *firstTrigger = nullptr;
  bool triggerHeld = false;
  for (const auto &condition : conditions) {
    if (condition.type.starts_with("Assert") != asserts)
      continue;
    const auto held = holds(condition, environment);
    if (condition.trigger) {
      firstTrigger = firstTrigger ? firstTrigger : &condition;
      triggerHeld = triggerHeld || held.value_or(false);
      if (!held && !triggerUnknown)
        triggerUnknown = &condition;
    } else if (held == false) {
      return {ConditionJudgement::Holds::No, written(condition)};
    } else if (!held && !plainUnknown) {
      plainUnknown = &condition;
    }
  }
  if (firstTrigger && !triggerHeld && !triggerUnknown)
    return {ConditionJudgement::Holds::No, written(*firstTrigger)};
  if (plainUnknown)
    return {ConditionJudgement::Holds::Unknown, written(*plainUnknown)};
  if (firstTrigger && !triggerHeld)
    return {ConditionJudgement::Holds::Unknown, written(*triggerUnknown)};
  return {};
}

} // namespace

ConditionJudgement judgeConditions(const std::vector<Condition> &conditions,
                                   const std::vector<std::string> &managerEnvironment) {
  const auto plain = judgeKind(conditions, managerEnvironment, false);
  if (plain.holds == ConditionJudgement::Holds::No)
    return plain;
  const auto asserted = judgeKind(conditions, managerEnvironment, true);
  if (asserted.holds == ConditionJudgement::Holds::No)
    return asserted;
  return plain.holds != ConditionJudgement::Holds::Yes ? plain : asserted;
}

} // namespace lw
