#include "SystemdFolders.h"

#include "SystemdManager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace lw::unitfolders {

namespace fs = std::filesystem;

namespace {

std::string variable(const char *name, const std::string &fallback = {}) {
  const char *value = std::getenv(name);
  return value && *value == '/' ? value : fallback;
}

std::string configHome() {
  const std::string home = variable("HOME");
  return variable("XDG_CONFIG_HOME", home.empty() ? std::string() : home + "/.config");
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

// Whether a text says anything about conditions or assertions.
bool mentionsConditions(const fs::path &file) {
  std::ifstream in(file);
  std::string line;
  for (int lines = 0; lines < 2000 && std::getline(in, line); ++lines)
    if (line.find("Condition") != std::string::npos || line.find("Assert") != std::string::npos)
      return true;
  return false;
}

} // namespace

bool isWithin(const std::string &path, const std::string &folder) {
  if (folder.empty())
    return false;
  const std::string prefix = folder.back() == '/' ? folder : folder + '/';
  return path.starts_with(prefix) || path + '/' == prefix;
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

std::string typeOf(const std::string &unit) {
  const auto dot = unit.rfind('.');
  return dot == std::string::npos ? std::string() : unit.substr(dot + 1);
}

} // namespace lw::unitfolders
