// The listing of the systemd user units that start at logon: the manager says what the logon
// targets pull in, at any depth and by any means (links, Wants=/Requires= lines, drop-ins), and
// what each of those units is; the unit folders say whose links pull a unit in.

#include "SystemdUserUnits.h"

#include "CommandLine.h"
#include "SystemdConditions.h"
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
#include <map>
#include <set>
#include <unistd.h>
#include <vector>

namespace lw {

namespace fs = std::filesystem;

namespace {

// What the user manager reaches at logon: default.target always, the two graphical-session
// targets when a desktop session tells it that one has started.
const std::vector<std::string> logonTargets = {"default.target", "graphical-session-pre.target",
                                               "graphical-session.target"};
// Time for asking systemctl about every disabled unit together, within the listing's time.
constexpr std::chrono::milliseconds installProbeBudget{2000};

// What a unit file's folder says about its owner, in the order a row names the strongest.
enum class Owner { User, UserPackage, Admin, Vendor };

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

std::string configHome() {
  const std::string home = variable("HOME");
  return variable("XDG_CONFIG_HOME", home.empty() ? std::string() : home + "/.config");
}

// Whose link pulls a unit in, by the folder the link lies in: the user's own in the two unit
// folders systemctl --user disable takes links back from (under XDG_CONFIG_HOME and
// XDG_RUNTIME_DIR); the user's packages' elsewhere in the user's XDG base directories
// (XDG_DATA_HOME holds the units of packages installed in the home directory), which disable
// leaves alone; the administrator's under /etc, /run and XDG_CONFIG_DIRS (what systemctl
// --global writes); the operating system's everywhere else (/usr/lib, XDG_DATA_DIRS).
Owner ownerOf(const std::string &folder) {
  const std::string home = variable("HOME");
  const std::string config = configHome();
  const std::string dataHome =
      variable("XDG_DATA_HOME", home.empty() ? std::string() : home + "/.local/share");
  const std::string runtime = variable("XDG_RUNTIME_DIR");
  for (const auto &own : {config, runtime})
    if (!own.empty() && isWithin(folder, own + "/systemd/user"))
      return Owner::User;
  for (const auto &users : {config, dataHome, runtime})
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

std::string typeOf(const std::string &unit) {
  const auto dot = unit.rfind('.');
  return dot == std::string::npos ? std::string() : unit.substr(dot + 1);
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

// A link in a folder of the unit path: in `parent`.wants/.requires/.upholds, or a mask.
struct Link {
  std::string folder;
  std::string parent; // the unit whose folder holds the link; empty for a link of its own name
  std::string target; // what the link points at
};

// The links of every folder of the unit path, by the unit name they carry.
struct FolderIndex {
  std::map<std::string, std::vector<Link>> pulls; // links in .wants/.requires/.upholds folders
  std::map<std::string, Link> own; // the first file or link of the name in the path's order
  std::set<std::string> masks;     // units whose first entry is /dev/null
  std::map<std::string, std::vector<fs::path>> dropIns; // "name.d" folders, by name
  std::set<std::string> aliased;                        // units a link of another name points at
};

FolderIndex indexFolders(const std::vector<std::string> &folders) {
  FolderIndex index;
  std::error_code error;
  for (const auto &folder : folders) {
    if (generated(folder))
      continue;
    for (const auto &entry : fs::directory_iterator(folder, error)) {
      const std::string name = entry.path().filename().string();
      std::error_code linkError;
      const bool isLink = entry.is_symlink(linkError);
      const std::string target = isLink ? fs::read_symlink(entry.path(), linkError).string() : "";
      if (entry.is_directory(linkError) && name.ends_with(".d")) {
        index.dropIns[name.substr(0, name.size() - 2)].push_back(entry.path());
        continue;
      }
      if (entry.is_directory(linkError) && !isLink) {
        for (const char *kind : {".wants", ".requires", ".upholds"})
          if (name.ends_with(kind)) {
            const std::string parent = name.substr(0, name.size() - std::strlen(kind));
            for (const auto &link : fs::directory_iterator(entry.path(), error)) {
              std::error_code ignored;
              const std::string linkName = link.path().filename().string();
              const fs::path linkTarget = fs::read_symlink(link.path(), ignored);
              index.pulls[linkName].push_back({folder, parent, linkTarget.string()});
              if (linkTarget.filename() != linkName)
                index.aliased.insert(linkTarget.filename().string());
            }
          }
        continue;
      }
      if (!target.empty() && fs::path(target).filename() != name)
        index.aliased.insert(fs::path(target).filename().string());
      if (index.own.contains(name))
        continue; // a lower folder's file of the same name is hidden
      index.own[name] = {folder, {}, target};
      if (target == "/dev/null" || entry.path() == "/dev/null")
        index.masks.insert(name);
    }
  }
  return index;
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

// The [Install] lines of a unit file and its drop-ins that decide its state when nothing in a
// config folder links it: Alias=, WantedBy=, RequiredBy= ("disabled": it can be enabled) and
// Also= ("indirect"). An empty assignment clears what came before.
std::string stateByInstall(const std::vector<fs::path> &files) {
  std::map<std::string, bool> set; // key -> holds a word
  for (const auto &file : files) {
    std::ifstream in(file);
    std::string line, section;
    for (int lines = 0; lines < 2000 && std::getline(in, line); ++lines) {
      const auto first = line.find_first_not_of(" \t");
      if (first == std::string::npos || line[first] == '#' || line[first] == ';')
        continue;
      if (line[first] == '[') {
        section = line.substr(first, line.find(']') + 1 - first);
        continue;
      }
      const auto equals = line.find('=');
      if (section != "[Install]" || equals == std::string::npos)
        continue;
      std::string key = line.substr(first, equals - first);
      key.erase(key.find_last_not_of(" \t") + 1);
      const bool words = line.find_first_not_of(" \t", equals + 1) != std::string::npos;
      set[key] = words;
    }
  }
  const auto holds = [&set](const char *key) { return set.contains(key) && set.at(key); };
  if (holds("Alias") || holds("WantedBy") || holds("RequiredBy"))
    return "disabled";
  return holds("Also") ? "indirect" : "static";
}

bool isRuntimeFolder(const std::string &folder) {
  const std::string runtime = variable("XDG_RUNTIME_DIR");
  return isWithin(folder, "/run") || (!runtime.empty() && isWithin(folder, runtime));
}

// The state is-enabled prints, where the folders alone tell it as systemd would: a unit linked
// into a target from the user's or the administrator's config folder is "enabled" whatever else
// holds it; one linked only from folders that are neither config nor runtime folders (the
// operating system's, XDG_CONFIG_DIRS) has the state its [Install] lines give it. Empty where
// the manager must be asked: masks, instances, aliases, links of the unit's own name.
std::string stateFromFolders(const std::string &name, const FolderIndex &index) {
  const auto own = index.own.find(name);
  if (name.find('@') != std::string::npos || index.masks.contains(name) || own == index.own.end() ||
      !own->second.target.empty() || index.aliased.contains(name))
    return {};
  const auto pulls = index.pulls.find(name);
  const std::string config = configHome() + "/systemd/user";
  if (pulls != index.pulls.end())
    for (const auto &link : pulls->second) {
      if (fs::path(link.target).filename() != name)
        return {};
      if (link.folder == config || link.folder == "/etc/systemd/user")
        return "enabled";
      if (isRuntimeFolder(link.folder))
        return {};
    }
  std::vector<fs::path> files = {own->second.folder + "/" + name};
  const auto dropIns = index.dropIns.find(name);
  if (dropIns != index.dropIns.end()) {
    std::error_code error;
    for (const auto &folder : dropIns->second)
      for (const auto &file : fs::directory_iterator(folder, error))
        if (file.path().extension() == ".conf")
          files.push_back(file.path());
  }
  return stateByInstall(files);
}

// Whether a unit file says where enabling would link it; only those are asked about.
bool installable(const std::string &file) {
  std::ifstream in(file);
  std::string line;
  for (int lines = 0; lines < 2000 && std::getline(in, line); ++lines)
    if (line.starts_with("WantedBy") || line.starts_with("RequiredBy") ||
        line.starts_with("UpheldBy") || line.starts_with("DefaultInstance"))
      return true;
  return false;
}

// Whether a text says anything about conditions or assertions.
bool mentionsConditions(const fs::path &file) {
  std::ifstream in(file);
  std::string line;
  for (int lines = 0; lines < 2000 && std::getline(in, line); ++lines)
    if (line.find("Condition") != std::string::npos || line.find("Assert") != std::string::npos)
      return true;
  return false;
}

// What the manager must be asked about a unit beyond its command: its file, where the folders
// do not tell it (an instance, a link, an alias), and its conditions, where its file or a drop-in
// that applies to it names any. Drop-ins apply by the unit's name, its template's, its type's
// and each of its dash prefixes ("lw-.service.d" for "lw-x.service").
unsigned toAsk(const std::string &name, const FolderIndex &index, std::string &fragment) {
  const auto own = index.own.find(name);
  if (own == index.own.end() || !own->second.target.empty() || name.find('@') != std::string::npos)
    return SystemdManager::AskFragment | SystemdManager::AskConditions;
  fragment = own->second.folder + "/" + name;
  if (mentionsConditions(fragment))
    return SystemdManager::AskConditions;
  const std::string type = typeOf(name);
  std::vector<std::string> applying = {name, type};
  for (std::size_t dash = name.find('-'); dash != std::string::npos;
       dash = name.find('-', dash + 1))
    applying.push_back(name.substr(0, dash + 1) + "." + type);
  for (const auto &dropInName : applying) {
    const auto folders = index.dropIns.find(dropInName);
    if (folders == index.dropIns.end())
      continue;
    std::error_code error;
    for (const auto &folder : folders->second)
      for (const auto &file : fs::directory_iterator(folder, error))
        if (file.path().extension() == ".conf" && mentionsConditions(file.path()))
          return SystemdManager::AskConditions;
  }
  return 0;
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
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - SystemdManager::Clock::now());
  for (auto &[name, into] : installTargets(
           disabled, targets, std::clamp(left, std::chrono::milliseconds{0}, installProbeBudget)))
    rows[name] = {std::move(into), {Owner::User}, {}, true, false};
  // Switched off by taking their links back, units stay listed to be switched on again, whatever
  // their [Install] says (an instance, a link made by hand).
  for (const auto &[name, wereIn] : systemdswitch::switchedOff()) {
    std::set<std::string> atLogon;
    for (const auto &target : wereIn)
      if (targets.contains(target))
        atLogon.insert(target);
    if (!atLogon.empty() && !rows.contains(name))
      rows[name] = {std::move(atLogon), {Owner::User}, {}, true, false};
  }

  std::vector<std::string> names;
  for (const auto &[name, row] : rows)
    if (!fromAutostartEntry(name))
      names.push_back(name);
  std::vector<unsigned> ask(names.size());
  std::vector<std::string> fragments(names.size());
  for (std::size_t i = 0; i < names.size(); ++i)
    ask[i] = toAsk(names[i], index, fragments[i]);
  auto details = manager->details(names, ask);
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!(ask[i] & SystemdManager::AskFragment))
      details[i].fragment = fragments[i];
  // Units outside the closure are not loaded until asked about.
  std::string loadWhy;
  auto loaded =
      manager->loadedUnits(loadWhy).value_or(std::map<std::string, SystemdManager::LoadedState>{});
  std::vector<std::string> unloaded;
  for (const auto &name : names)
    if (!loaded.contains(name))
      unloaded.push_back(name);
  const auto loadStates = manager->loadStates(unloaded);
  for (std::size_t i = 0; i < unloaded.size(); ++i)
    loaded[unloaded[i]].load = loadStates[i];
  // Sockets, timers and path units show the command of what they start.
  std::vector<std::string> triggered;
  for (const auto &unit : details)
    for (const auto &name : unit.triggers)
      if (!rows.contains(name))
        triggered.push_back(name);
  const auto triggeredDetails = manager->details(triggered);
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

  for (std::size_t i = 0, a = 0; i < names.size(); ++i) {
    const std::string &name = names[i];
    const auto &unit = details[i];
    if (states[i].empty())
      states[i] = answers[a++].value_or("");
    if (generated(unit.fragment))
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
