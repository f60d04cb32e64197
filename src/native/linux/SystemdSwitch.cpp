#include "SystemdSwitch.h"

#include "SystemdManager.h"
#include "SystemdUserUnits.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace lw::systemdswitch {

namespace fs = std::filesystem;

namespace {

// Folders whose links pull a unit in when their target starts.
constexpr const char *pullingKinds[] = {".wants", ".requires", ".upholds"};
constexpr std::size_t recordLimit = 1u << 20;

std::string variable(const char *name) {
  const char *value = std::getenv(name);
  return value && *value == '/' ? value : "";
}

std::string configHome() {
  const std::string set = variable("XDG_CONFIG_HOME");
  if (!set.empty())
    return set;
  const std::string home = variable("HOME");
  return home.empty() ? "" : home + "/.config";
}

// The unit folders systemctl --user disable takes links back from.
std::vector<std::string> usersFolders() {
  std::vector<std::string> folders;
  if (const std::string config = configHome(); !config.empty())
    folders.push_back(config + "/systemd/user");
  if (const std::string runtime = variable("XDG_RUNTIME_DIR"); !runtime.empty())
    folders.push_back(runtime + "/systemd/user");
  return folders;
}

std::string recordFolder() {
  const std::string config = configHome();
  return config.empty() ? "" : config + "/launchwright/systemd-switched-off";
}

bool recordable(const std::string &text) {
  return text.find('\t') == std::string::npos && text.find('\n') == std::string::npos;
}

// The link at the path, as it is now: nothing when none is there; an empty target when
// something other than a link stands there.
std::optional<std::string> linkAt(const std::string &path) {
  std::error_code error;
  const auto status = fs::symlink_status(path, error);
  if (status.type() == fs::file_type::not_found)
    return std::nullopt;
  if (status.type() != fs::file_type::symlink)
    return std::string();
  const auto target = fs::read_symlink(path, error);
  return error ? std::string() : target.string();
}

bool makeLink(const UnitLink &link) {
  if (linkAt(link.path) == link.target)
    return true;
  std::error_code error;
  fs::create_directories(fs::path(link.path).parent_path(), error);
  fs::create_symlink(link.target, link.path, error);
  return !error;
}

bool removeLink(const UnitLink &link) {
  const auto now = linkAt(link.path);
  if (!now)
    return true;
  std::error_code error;
  return *now == link.target && fs::remove(link.path, error);
}

// Where a change would make a link, something else stands.
std::optional<std::string> takenPlace(const LinkChange &change) {
  for (const auto &link : change.added)
    if (const auto now = linkAt(link.path); now && *now != link.target)
      return link.path;
  return std::nullopt;
}

SwitchPlan refused(const LogonText &why, const std::string &detail = {}) {
  SwitchPlan plan;
  plan.refusal = why;
  plan.detail = detail;
  return plan;
}

SwitchPlan checked(LinkChange change) {
  for (const auto *links : {&change.removed, &change.added})
    for (const auto &link : *links)
      if (!recordable(link.path) || !recordable(link.target))
        return refused(unrecordableName, link.path);
  if (const auto taken = takenPlace(change))
    return refused(placeTaken, *taken);
  SwitchPlan plan;
  plan.change = std::move(change);
  return plan;
}

} // namespace

std::string textOf(const LinkChange &change) {
  std::string text;
  for (const auto &[mark, links] : {std::pair{'-', &change.removed}, std::pair{'+', &change.added}})
    for (const auto &link : *links)
      text += std::string(1, mark) + '\t' + link.path + '\t' + link.target + '\n';
  return text;
}

std::optional<LinkChange> changeOf(const std::string &text) {
  LinkChange change;
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t end = text.find('\n', begin);
    if (end == std::string::npos)
      return std::nullopt;
    const std::string line = text.substr(begin, end - begin);
    const std::size_t tab = line.find('\t', 2);
    if (line.size() < 3 || (line[0] != '-' && line[0] != '+') || line[1] != '\t' ||
        tab == std::string::npos || line.find('\t', tab + 1) != std::string::npos)
      return std::nullopt;
    (line[0] == '-' ? change.removed : change.added)
        .push_back({line.substr(2, tab - 2), line.substr(tab + 1)});
    begin = end + 1;
  }
  return change;
}

SwitchPlan planOff(const std::string &name, LogonSwitch by) {
  if (!recordable(name) || name.find('/') != std::string::npos)
    return refused(unrecordableName, name);
  const auto folders = usersFolders();
  LinkChange change;
  if (by == LogonSwitch::Mask) {
    // The user's own copy of a unit (or its `systemctl link` link) stands where systemctl puts
    // the mask, and must stay; the control folder is read before it, and a mask there holds.
    const std::string config = configHome();
    if (config.empty())
      return refused(noPlaceToMask);
    for (const std::string &folder : {config + "/systemd/user", config + "/systemd/user.control"}) {
      const auto now = linkAt(folder + "/" + name);
      if (now == "/dev/null")
        return {}; // masked already
      if (!now) {
        change.added.push_back({folder + "/" + name, "/dev/null"});
        return checked(std::move(change));
      }
    }
    return refused(noPlaceToMask);
  }
  std::error_code error;
  for (const auto &folder : folders)
    for (const auto &entry : fs::directory_iterator(folder, error)) {
      const std::string kind = entry.path().extension().string();
      if (std::find(std::begin(pullingKinds), std::end(pullingKinds), kind) ==
              std::end(pullingKinds) ||
          !entry.is_directory(error) || entry.is_symlink(error))
        continue;
      const std::string path = (entry.path() / name).string();
      if (const auto target = linkAt(path); target && !target->empty())
        change.removed.push_back({path, *target});
    }
  std::sort(change.removed.begin(), change.removed.end(),
            [](const UnitLink &a, const UnitLink &b) { return a.path < b.path; });
  if (change.removed.empty())
    return refused(nothingOfTheUsers);
  return checked(std::move(change));
}

SwitchPlan planUndo(const LinkChange &undo) {
  SwitchPlan plan = checked({undo.added, undo.removed});
  plan.byRecord = true;
  return plan;
}

std::optional<SwitchPlan> planOn(const std::string &name) {
  const auto record = recorded(name);
  if (!record)
    return std::nullopt;
  return planUndo(*record);
}

bool apply(const LinkChange &change) {
  std::vector<UnitLink> removed, added;
  bool done = true;
  for (const auto &link : change.removed) {
    if (!(done = removeLink(link)))
      break;
    removed.push_back(link);
  }
  for (const auto &link : change.added) {
    if (!done || !(done = makeLink(link)))
      break;
    added.push_back(link);
  }
  if (done)
    return true;
  for (const auto &link : added)
    removeLink(link);
  for (const auto &link : removed)
    makeLink(link);
  return false;
}

std::optional<LinkChange> recorded(const std::string &name) {
  const std::string folder = recordFolder();
  std::error_code error;
  if (folder.empty() || !fs::is_regular_file(fs::symlink_status(folder + "/" + name, error)))
    return std::nullopt;
  try {
    return changeOf(textfile::readBytes(folder + "/" + name, recordLimit));
  } catch (const FileError &) {
    return std::nullopt;
  }
}

bool keep(const std::string &name, const LinkChange &change) {
  const std::string folder = recordFolder();
  if (folder.empty())
    return false;
  LinkChange all = recorded(name).value_or(LinkChange{});
  for (const auto &[from, to] :
       {std::pair{&change.removed, &all.removed}, std::pair{&change.added, &all.added}})
    for (const auto &link : *from)
      if (std::find(to->begin(), to->end(), link) == to->end())
        to->push_back(link);
  std::error_code error;
  fs::create_directories(folder, error);
  try {
    textfile::writeAtomically(folder + "/" + name, textOf(all), textfile::LinkPolicy::Refuse);
  } catch (const FileError &) {
    return false;
  }
  return true;
}

void forget(const std::string &name) {
  const std::string folder = recordFolder();
  std::error_code error;
  if (!folder.empty())
    fs::remove(folder + "/" + name, error);
}

std::map<std::string, std::set<std::string>> switchedOff() {
  std::map<std::string, std::set<std::string>> units;
  const std::string folder = recordFolder();
  std::error_code error;
  if (folder.empty())
    return units;
  for (const auto &entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    const auto record = recorded(name);
    if (!record)
      continue;
    for (const auto &link : record->removed) {
      // A link that is back (put back by hand) no longer holds the unit off.
      if (linkAt(link.path) == link.target)
        continue;
      const fs::path pulling = fs::path(link.path).parent_path().filename();
      const std::string kind = pulling.extension().string();
      if (std::find(std::begin(pullingKinds), std::end(pullingKinds), kind) !=
          std::end(pullingKinds))
        units[name].insert(pulling.stem().string());
    }
  }
  return units;
}

// A switch by the unit's links: off takes them back (or masks the unit), on puts back exactly
// what a switch-off kept a record of. Switching off what is off already changes nothing.
SwitchPlan planFor(const LogonItem &item, bool enabled) {
  if (enabled)
    return planOn(item.name).value_or(SwitchPlan{});
  auto plan = planOff(item.name, item.switchBy);
  if (plan.refusal && plan.refusal->number == nothingOfTheUsers.number &&
      item.verdict == StartVerdict::Disabled)
    return {};
  return plan;
}

} // namespace lw::systemdswitch

namespace lw {

LogonSwitchPlan SystemdUserUnits::planSwitch(const LogonItem &item, bool enabled) {
  if (item.source != &SystemdUserUnits::description ||
      (item.switchBy != LogonSwitch::Enable && item.switchBy != LogonSwitch::Mask))
    return {};
  const auto plan = systemdswitch::planFor(item, enabled);
  return {plan.refusal, plan.detail, enabled ? std::string() : systemdswitch::textOf(plan.change)};
}

bool SystemdUserUnits::restoreSwitch(const std::string &name, const std::string &undo) {
  const auto change = systemdswitch::changeOf(undo);
  if (!change || change->empty())
    return false;
  const auto plan = systemdswitch::planUndo(*change);
  std::string why;
  const auto manager = plan.refusal ? nullptr : SystemdManager::connect(why);
  if (!manager || !systemdswitch::apply(plan.change))
    return false;
  if (!manager->reload()) {
    systemdswitch::apply(*change);
    return false;
  }
  systemdswitch::forget(name);
  return true;
}

} // namespace lw
