// The listing of the systemd user units that start at logon: the manager says what the logon
// targets pull in, at any depth and by any means (links, Wants=/Requires= lines, drop-ins), and
// what each of those units is; the unit folders say whose links pull a unit in.

#include "SystemdUserUnits.h"

#include "CommandLine.h"
#include "SystemdConditions.h"
#include "SystemdFolders.h"
#include "SystemdInstallProbe.h"
#include "SystemdManager.h"
#include "SystemdSwitch.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <set>
#include <unistd.h>
#include <vector>

namespace lw {

namespace fs = std::filesystem;

namespace {

using namespace unitfolders;

// What the user manager reaches at logon: default.target always, the two graphical-session
// targets when a desktop session tells it that one has started.
const std::vector<std::string> logonTargets = {"default.target", "graphical-session-pre.target",
                                               "graphical-session.target"};
// Time for asking systemctl about every disabled unit together, within the listing's time.
constexpr std::chrono::milliseconds installProbeBudget{2000};

bool fromAutostartEntry(const std::string &name) {
  return name.starts_with("app-") && name.find("@autostart.") != std::string::npos;
}

bool shippedByTheSystem(const std::string &path) {
  return isWithin(path, "/usr/lib/systemd/user") || isWithin(path, "/lib/systemd/user");
}

// Units that run something of their own, and so are rows; targets only gather others, and
// slices, mounts and the like are the manager's own plumbing.
bool isRow(const std::string &unit) {
  const std::string type = typeOf(unit);
  return type == "service" || type == "socket" || type == "timer" || type == "path";
}

bool isWalked(const std::string &unit) {
  const std::string type = typeOf(unit);
  return type != "slice" && type != "mount" && type != "device" && type != "scope" &&
         type != "swap" && type != "automount";
}

std::string commandOf(const SystemdManager::UnitDetails &unit) {
  std::vector<std::string> argv = unit.argv;
  // ExecStart=sleep 5 runs /usr/bin/sleep with argv[0] "sleep"; the row shows the program.
  if (!argv.empty() && !unit.program.empty() && argv.front().find('/') == std::string::npos)
    argv.front() = unit.program;
  return commandline::join(argv);
}

std::string localTime(std::uint64_t usec) {
  const std::time_t seconds = static_cast<std::time_t>(usec / 1'000'000);
  std::tm parts{};
  char text[32] = "";
  if (localtime_r(&seconds, &parts))
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
  return text;
}

struct Row {
  std::set<std::string> parents; // what pulls it in
  std::set<Owner> owners;
  std::vector<std::string> folders; // where the links lie
  bool byInstall = false;           // not linked: [Install] would link it
  bool byLine = false;              // pulled in by a unit file's line rather than a link
};

LogonItem itemOf(const std::string &name, const Row &row, const std::string &state,
                 const SystemdManager::LoadedState &loaded, const SystemdManager::UnitDetails &unit,
                 const std::string &command, const ConditionJudgement &conditions) {
  LogonItem item;
  item.source = &SystemdUserUnits::description;
  item.name = name;
  item.state = state;
  item.command = command;
  item.file = unit.fragment != "/dev/null" ? unit.fragment : std::string();
  for (const auto &parent : row.parents)
    item.detail += (item.detail.empty() ? "" : ", ") + parent;
  item.allUsers = row.owners.contains(Owner::Admin) || row.owners.contains(Owner::Vendor);
  const bool masked = state.starts_with("masked") || loaded.load == "masked";
  if (masked) {
    item.reason = &SystemdUserUnits::masked;
    item.verdict = StartVerdict::Disabled;
  } else if (row.byInstall) {
    item.reason = &SystemdUserUnits::userDisabled;
    item.verdict = StartVerdict::Disabled;
  } else {
    item.reason = row.owners.contains(Owner::Admin)         ? &SystemdUserUnits::adminEnabled
                  : row.owners.contains(Owner::Vendor)      ? &SystemdUserUnits::vendorEnabled
                  : row.owners.contains(Owner::UserPackage) ? &SystemdUserUnits::packageEnabled
                                                            : &SystemdUserUnits::userEnabled;
    if (loaded.load != "loaded" && !loaded.load.empty())
      item.verdict = StartVerdict::Unreadable;
    else if (!unit.program.empty() && ::access(unit.program.c_str(), X_OK) != 0)
      item.verdict = StartVerdict::ProgramMissing;
    else if (conditions.holds != ConditionJudgement::Holds::Yes) {
      item.verdict = conditions.holds == ConditionJudgement::Holds::No
                         ? StartVerdict::ConditionFails
                         : StartVerdict::ConditionUnknown;
      item.condition = conditions.named;
    }
  }
  // disable only takes back the links of the user's own folders; a unit linked anywhere else,
  // or pulled in by a line of a unit file, would go on starting, so it is switched off by
  // masking it.
  const bool ownLinksOnly =
      !row.byLine && std::all_of(row.owners.begin(), row.owners.end(),
                                 [](Owner owner) { return owner == Owner::User; });
  item.switchBy = masked || !ownLinksOnly ? LogonSwitch::Mask : LogonSwitch::Enable;
  item.canStart = !masked && loaded.load == "loaded";
  bool shipped = !row.folders.empty() && (masked || shippedByTheSystem(item.file));
  for (const auto &folder : row.folders)
    shipped = shipped && shippedByTheSystem(folder);
  item.systemComponent = shipped;
  return item;
}

// What a socket, timer or path unit starts, said beside its reason.
void describeActivation(LogonItem &item, const SystemdManager::UnitDetails &unit) {
  if (unit.triggers.empty())
    return;
  std::string started;
  for (const auto &name : unit.triggers)
    started += (started.empty() ? "" : ", ") + name;
  const std::string type = typeOf(item.name);
  if (type == "socket") {
    item.activation = SystemdUserUnits::onDemand;
    item.activationWords = {started};
  } else if (type == "timer") {
    item.activation = SystemdUserUnits::byTimer;
    item.activationWords = {started, unit.nextElapse ? localTime(unit.nextElapse) : "-"};
  } else if (type == "path") {
    item.activation = SystemdUserUnits::byPath;
    item.activationWords = {started};
  }
}

} // namespace

LogonSourceListing SystemdUserUnits::list() {
  LogonSourceListing listing;
  const auto deadline = SystemdManager::Clock::now() + listingTime;
  std::string why;
  const auto manager = SystemdManager::connect(why, deadline);
  // Without the folders every enabled unit would be missing from a listing that looks complete.
  const auto folders = manager ? manager->unitPath(why) : std::nullopt;
  if (!folders) {
    listing.unavailable = why;
    return listing;
  }
  const FolderIndex index = indexFolders(*folders);

  // The closure of the logon targets, a wave of questions at a time.
  std::map<std::string, Row> rows;
  std::set<std::string> reached(logonTargets.begin(), logonTargets.end());
  std::vector<std::string> wave = logonTargets;
  while (!wave.empty() && !manager->silence()) {
    const auto wanted = manager->dependencies(wave);
    std::vector<std::string> next;
    for (std::size_t i = 0; i < wave.size(); ++i)
      for (const auto &unit : wanted[i]) {
        if (!isWalked(unit))
          continue;
        if (isRow(unit))
          rows[unit].parents.insert(wave[i]);
        if (reached.insert(unit).second)
          next.push_back(unit);
      }
    wave = std::move(next);
  }
  // Whose links pull each in; a unit no link of a reached unit's folder pulls in is pulled in
  // by a line of a unit file or a drop-in.
  for (auto &[name, row] : rows) {
    const auto links = index.pulls.find(name);
    if (links != index.pulls.end())
      for (const auto &link : links->second)
        if (reached.contains(link.parent)) {
          row.owners.insert(ownerOf(link.folder));
          row.folders.push_back(link.folder);
        }
    row.byLine = row.owners.empty();
  }
  // Switched off by the user: masked in the user's own folders.
  for (const auto &name : index.masks)
    if (isRow(name) && !fromAutostartEntry(name) &&
        ownerOf(index.own.at(name).folder) == Owner::User)
      rows.try_emplace(name);
  // Installable into a reached target, but not linked anywhere.
  std::map<std::string, std::string> disabled;
  for (const auto &[name, file] : index.own)
    if (isRow(name) && !rows.contains(name) && !index.masks.contains(name) &&
        !index.pulls.contains(name) && !fromAutostartEntry(name) &&
        installable(file.folder + "/" + name))
      disabled[name] = file.folder + "/" + name;
  std::set<std::string> targets;
  for (const auto &unit : reached)
    if (unit.ends_with(".target"))
      targets.insert(unit);
  // systemctl's reading of [Install] runs beside the questions to the manager; the candidates
  // are asked about with the rest, and those it would not link into the logon are dropped.
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - SystemdManager::Clock::now());
  auto probe = std::async(std::launch::async, installTargets, disabled, targets,
                          std::clamp(left, std::chrono::milliseconds{0}, installProbeBudget));
  for (const auto &[name, file] : disabled)
    rows[name] = {{}, {Owner::User}, {}, true, false};
  // Switched off by taking their links back, units stay listed to be switched on again, whatever
  // their [Install] says (an instance, a link made by hand).
  std::set<std::string> keptBySwitch;
  for (const auto &[name, wereIn] : systemdswitch::switchedOff()) {
    std::set<std::string> atLogon;
    for (const auto &target : wereIn)
      if (targets.contains(target))
        atLogon.insert(target);
    if (atLogon.empty() || (rows.contains(name) && !disabled.contains(name)))
      continue;
    rows[name] = {std::move(atLogon), {Owner::User}, {}, true, false};
    keptBySwitch.insert(name);
  }

  std::vector<std::string> names;
  for (const auto &[name, row] : rows)
    if (!fromAutostartEntry(name))
      names.push_back(name);
  std::vector<unsigned> ask(names.size());
  std::vector<std::string> fragments(names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    ask[i] = toAsk(names[i], index, fragments[i]) |
             (reached.contains(names[i]) ? 0u : SystemdManager::AskLoadState);
  auto details = manager->details(names, ask);
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!(ask[i] & SystemdManager::AskFragment))
      details[i].fragment = fragments[i];
  std::string loadWhy;
  auto loaded =
      manager->loadedUnits(loadWhy).value_or(std::map<std::string, SystemdManager::LoadedState>{});
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!details[i].loadState.empty())
      loaded[names[i]].load = details[i].loadState;
  // Sockets, timers and path units show the command of what they start.
  std::vector<std::string> triggered;
  for (const auto &unit : details)
    for (const auto &name : unit.triggers)
      if (!rows.contains(name))
        triggered.push_back(name);
  const auto triggeredDetails =
      manager->details(triggered, std::vector<unsigned>(triggered.size(), 0u));
  // Before the last questions: a probe that took the listing's whole time leaves the manager
  // none, and the listing says so rather than showing less than there is.
  auto probed = probe.get();
  auto installable = probed.value_or(std::map<std::string, std::set<std::string>>{});
  for (auto &[name, into] : installable)
    rows.at(name).parents.merge(into);
  std::vector<std::string> asked;
  std::vector<std::string> states(names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    if ((states[i] = stateFromFolders(names[i], index)).empty())
      asked.push_back(names[i]);
  const auto answers = manager->unitFileStates(asked);
  const auto environment = manager->environment();
  if (manager->silence()) {
    // Half a listing would show units as gone that are not.
    listing.unavailable = manager->silence();
    return listing;
  }
  // So would the disabled units the probe had no time for.
  if (!probed) {
    listing.unavailable = "systemctl did not say in time which targets the disabled units "
                          "would be enabled into";
    return listing;
  }

  for (std::size_t i = 0, a = 0; i < names.size(); ++i) {
    const std::string &name = names[i];
    const auto &unit = details[i];
    if (states[i].empty())
      states[i] = answers[a++].value_or("");
    if (generated(unit.fragment) ||
        (disabled.contains(name) && !installable.contains(name) && !keptBySwitch.contains(name)))
      continue;
    std::string command = commandOf(unit);
    for (const auto &started : unit.triggers) {
      const auto at = std::find(triggered.begin(), triggered.end(), started);
      const auto in = std::find(names.begin(), names.end(), started);
      if (command.empty() && at != triggered.end())
        command = commandOf(triggeredDetails[static_cast<std::size_t>(at - triggered.begin())]);
      else if (command.empty() && in != names.end())
        command = commandOf(details[static_cast<std::size_t>(in - names.begin())]);
    }
    const auto state = loaded.find(name);
    LogonItem item = itemOf(name, rows.at(name), states[i],
                            state != loaded.end() ? state->second : SystemdManager::LoadedState{},
                            unit, command, judgeConditions(unit.conditions, environment));
    describeActivation(item, unit);
    listing.items.push_back(std::move(item));
  }
  return listing;
}

} // namespace lw
