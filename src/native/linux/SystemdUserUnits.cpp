#include "SystemdUserUnits.h"

#include "CommandLine.h"
#include "SystemdInstallProbe.h"
#include "SystemdManager.h"
#include "SystemdSwitch.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <unistd.h>
#include <vector>

namespace lw {

namespace fs = std::filesystem;

namespace {

// What the user manager reaches at logon: default.target always, the two graphical-session
// targets when a desktop session tells it that one has started.
const std::set<std::string> logonTargets = {"default.target", "graphical-session-pre.target",
                                            "graphical-session.target"};
// Time for asking systemctl about every disabled unit together, within the listing's time.
constexpr std::chrono::milliseconds installProbeBudget{2000};

enum class Owner { User, UserPackage, Admin, Vendor };

// Whether the path is the folder or lies inside it.
bool isWithin(const std::string &path, const std::string &folder) {
  if (folder.empty())
    return false;
  const std::string prefix = folder.back() == '/' ? folder : folder + '/';
  return path.starts_with(prefix) || path + '/' == prefix;
}

std::string variable(const char *name, const std::string &fallback = {}) {
  const char *value = std::getenv(name);
  return value && *value == '/' ? value : fallback;
}

// Whose link pulls a unit in, by the folder the link lies in: the user's own in the two unit
// folders systemctl --user disable takes links back from (under XDG_CONFIG_HOME and
// XDG_RUNTIME_DIR); the user's packages' elsewhere in the user's XDG base directories
// (XDG_DATA_HOME holds the units of packages installed in the home directory), which disable
// leaves alone; the administrator's under /etc, /run and XDG_CONFIG_DIRS (what systemctl
// --global writes); the operating system's everywhere else (/usr/lib, XDG_DATA_DIRS).
Owner ownerOf(const std::string &folder) {
  const std::string home = variable("HOME");
  const std::string configHome =
      variable("XDG_CONFIG_HOME", home.empty() ? std::string() : home + "/.config");
  const std::string dataHome =
      variable("XDG_DATA_HOME", home.empty() ? std::string() : home + "/.local/share");
  const std::string runtime = variable("XDG_RUNTIME_DIR");
  for (const auto &own : {configHome, runtime})
    if (!own.empty() && isWithin(folder, own + "/systemd/user"))
      return Owner::User;
  for (const auto &users : {configHome, dataHome, runtime})
    if (isWithin(folder, users))
      return Owner::UserPackage;
  std::vector<std::string> admin = {"/etc", "/run"};
  const char *configDirs = std::getenv("XDG_CONFIG_DIRS");
  const std::string dirs = configDirs && *configDirs ? configDirs : "/etc/xdg";
  for (std::size_t begin = 0; begin <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', begin), dirs.size());
    admin.push_back(dirs.substr(begin, end - begin));
    begin = end + 1;
  }
  for (const auto &folderOfAdmin : admin)
    if (isWithin(folder, folderOfAdmin))
      return Owner::Admin;
  return Owner::Vendor;
}

// The folders generators write to; the XDG autostart generator's units are autostart entries.
bool generated(const std::string &path) {
  return path.find("/systemd/generator") != std::string::npos ||
         path.find("/systemd/transient") != std::string::npos;
}

bool fromAutostartEntry(const std::string &name) {
  return name.starts_with("app-") && name.find("@autostart.") != std::string::npos;
}

bool shippedByTheSystem(const std::string &path) {
  return isWithin(path, "/usr/lib/systemd/user") || isWithin(path, "/lib/systemd/user");
}

struct Pull {
  std::set<std::string> targets;
  std::set<Owner> owners;
  std::vector<std::string> folders; // where the links lie
  bool byInstall = false;           // not linked: [Install] would link it
};

std::string commandOf(const SystemdManager::LoadedUnit &unit) {
  std::vector<std::string> argv = unit.argv;
  // ExecStart=sleep 5 runs /usr/bin/sleep with argv[0] "sleep"; the row shows the program.
  if (!argv.empty() && !unit.program.empty() && argv.front().find('/') == std::string::npos)
    argv.front() = unit.program;
  return commandline::join(argv);
}

LogonItem itemOf(const std::string &name, const Pull &pull, const std::string &state,
                 const std::string &listedFile, const SystemdManager::LoadedUnit &unit) {
  LogonItem item;
  item.source = &SystemdUserUnits::description;
  item.name = name;
  item.state = state;
  item.command = commandOf(unit);
  item.file = !unit.fragment.empty() && unit.fragment != "/dev/null" ? unit.fragment : listedFile;
  for (const auto &target : pull.targets)
    item.detail += (item.detail.empty() ? "" : ", ") + target;
  item.allUsers = pull.owners.contains(Owner::Admin) || pull.owners.contains(Owner::Vendor);
  const bool masked = state.starts_with("masked") || unit.loadState == "masked";
  if (masked) {
    item.reason = &SystemdUserUnits::masked;
    item.verdict = StartVerdict::Disabled;
  } else if (pull.byInstall) {
    item.reason = &SystemdUserUnits::userDisabled;
    item.verdict = StartVerdict::Disabled;
  } else {
    item.reason = pull.owners.contains(Owner::Admin)         ? &SystemdUserUnits::adminEnabled
                  : pull.owners.contains(Owner::Vendor)      ? &SystemdUserUnits::vendorEnabled
                  : pull.owners.contains(Owner::UserPackage) ? &SystemdUserUnits::packageEnabled
                                                             : &SystemdUserUnits::userEnabled;
    if (unit.loadState != "loaded")
      item.verdict = StartVerdict::Unreadable;
    else if (!unit.program.empty() && ::access(unit.program.c_str(), X_OK) != 0)
      item.verdict = StartVerdict::ProgramMissing;
  }
  // disable only takes back the links of the user's own folders; a unit linked anywhere else
  // would go on starting, so it is switched off by masking it.
  const bool ownLinksOnly = std::all_of(pull.owners.begin(), pull.owners.end(),
                                        [](Owner owner) { return owner == Owner::User; });
  item.switchBy = masked || !ownLinksOnly ? LogonSwitch::Mask : LogonSwitch::Enable;
  item.canStart = !masked && unit.loadState == "loaded";
  bool shipped = !pull.folders.empty() && (masked || shippedByTheSystem(item.file));
  for (const auto &folder : pull.folders)
    shipped = shipped && shippedByTheSystem(folder);
  item.systemComponent = shipped;
  return item;
}

} // namespace

LogonSourceListing SystemdUserUnits::list() {
  LogonSourceListing listing;
  const auto deadline = SystemdManager::Clock::now() + listingTime;
  std::string why;
  const auto manager = SystemdManager::connect(why, deadline);
  const auto files = manager ? manager->unitFiles(why) : std::nullopt;
  // Without the folders every enabled unit would be missing from a listing that looks complete.
  const auto folders = files ? manager->unitPath(why) : std::nullopt;
  if (!folders) {
    listing.unavailable = why;
    return listing;
  }

  std::map<std::string, Pull> pulled;
  std::error_code error;
  for (const auto &folder : *folders) {
    if (generated(folder))
      continue;
    for (const auto &target : logonTargets)
      for (const char *kind : {".wants", ".requires"})
        for (const auto &link : fs::directory_iterator(folder + "/" + target + kind, error)) {
          Pull &pull = pulled[link.path().filename().string()];
          pull.targets.insert(target);
          pull.owners.insert(ownerOf(folder));
          pull.folders.push_back(folder);
        }
  }
  std::map<std::string, std::string> disabled;
  for (const auto &[name, file] : *files)
    if (file.state == "disabled" && !pulled.contains(name))
      disabled[name] = file.path;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - SystemdManager::Clock::now());
  for (auto &[name, targets] :
       installTargets(disabled, logonTargets,
                      std::clamp(left, std::chrono::milliseconds{0}, installProbeBudget)))
    pulled[name] = {std::move(targets), {Owner::User}, {}, true};

  // Switched off by taking their links back, units stay listed to be switched on again, whatever
  // their [Install] says (an instance, a link made by hand).
  for (const auto &[name, targets] : systemdswitch::switchedOff()) {
    std::set<std::string> atLogon;
    for (const auto &target : targets)
      if (logonTargets.contains(target))
        atLogon.insert(target);
    if (!atLogon.empty() && !pulled.contains(name))
      pulled[name] = {std::move(atLogon), {Owner::User}, {}, true};
  }

  for (const auto &[name, pull] : pulled) {
    if (fromAutostartEntry(name))
      continue;
    const auto listed = files->find(name);
    const auto unit = manager->load(name);
    if (manager->silence())
      break;
    if (generated(unit.fragment) || (listed != files->end() && generated(listed->second.path)))
      continue;
    const std::string state =
        listed != files->end() ? listed->second.state : manager->unitFileState(name).value_or("");
    listing.items.push_back(
        itemOf(name, pull, state, listed != files->end() ? listed->second.path : "", unit));
  }
  // Half a listing would show units as gone that are not.
  if (manager->silence()) {
    listing.items.clear();
    listing.unavailable = manager->silence();
  }
  return listing;
}

bool SystemdUserUnits::setEnabled(const LogonItem &item, bool enabled) {
  if (item.source != &SystemdUserUnits::description ||
      (item.switchBy != LogonSwitch::Enable && item.switchBy != LogonSwitch::Mask))
    return false;
  std::string why;
  const auto manager = SystemdManager::connect(why);
  if (!manager)
    return false;
  const auto plan = systemdswitch::planFor(item, enabled);
  if (plan.refusal)
    return false;
  if (!plan.change.empty() || plan.byRecord) {
    // The record comes first: links taken back are never without one.
    const auto before = systemdswitch::recorded(item.name);
    if (!enabled && !systemdswitch::keep(item.name, plan.change))
      return false;
    const bool done = systemdswitch::apply(plan.change);
    if (done && manager->reload()) {
      if (enabled)
        systemdswitch::forget(item.name);
      return true;
    }
    if (done)
      systemdswitch::apply(systemdswitch::planUndo(plan.change).change);
    if (!enabled) {
      systemdswitch::forget(item.name);
      if (before)
        systemdswitch::keep(item.name, *before);
    }
    return false;
  }
  if (!enabled)
    return true; // off already
  // Never switched off here: on as systemctl --user enable or unmask would. A mask made for this
  // boot only (mask --runtime) is taken back the same way.
  const bool runtime = manager->unitFileState(item.name).value_or("").ends_with("-runtime");
  if (!(item.switchBy == LogonSwitch::Enable ? manager->enable(item.name, false)
                                             : manager->unmask(item.name, runtime)))
    return false;
  manager->reload();
  // Done only when the manager says so: a state it cannot tell is no state at all.
  const auto state = manager->unitFileState(item.name);
  if (!state)
    return false;
  return item.switchBy == LogonSwitch::Mask ? !state->starts_with("masked")
                                            : state->starts_with("enabled");
}

bool SystemdUserUnits::start(const LogonItem &item) {
  if (item.source != &SystemdUserUnits::description || !item.canStart)
    return false;
  std::string why;
  const auto manager = SystemdManager::connect(why);
  return manager && manager->start(item.name);
}

} // namespace lw
