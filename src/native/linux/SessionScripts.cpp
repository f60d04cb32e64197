#include "SessionScripts.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace lw {
namespace {

std::string reason(int error) { return std::generic_category().message(error); }

std::string inFolder(const std::string &folder, std::string_view name) {
  return folder.ends_with('/') ? folder + std::string(name) : folder + "/" + std::string(name);
}

bool endsWith(std::string_view name, std::string_view end) {
  return name.size() >= end.size() && name.substr(name.size() - end.size()) == end;
}

bool hasShellSuffix(std::string_view name) {
  // Plasma's name filter "*.sh" ignores case, as QDir's filters do by default.
  if (name.size() < 3)
    return false;
  const auto end = name.substr(name.size() - 3);
  return end[0] == '.' && (end[1] == 's' || end[1] == 'S') && (end[2] == 'h' || end[2] == 'H');
}

// Editors' backup copies that Plasma leaves alone in its autostart scripts folder.
bool isBackup(std::string_view name) {
  const auto wrapped = [&](char mark) {
    return name.size() > 1 && name.front() == mark && name.back() == mark;
  };
  return endsWith(name, "~") || endsWith(name, ".bak") || wrapped('%') || wrapped('#');
}

// The file as the session finds it, or nothing when the session would pass it by: a session
// reads or runs only regular files (a link counts as what it points to).
std::optional<LogonItem> sessionFile(const std::string &folder, const std::string &name,
                                     const LogonReason *why) {
  LogonItem item;
  item.source = &SessionScripts::description;
  item.name = name;
  item.file = inFolder(folder, name);
  item.command = item.file;
  item.reason = why;
  struct stat info {};
  if (::stat(item.file.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return std::nullopt;
    item.verdict = StartVerdict::Unreadable;
    item.detail = reason(errno);
    return item;
  }
  if (!S_ISREG(info.st_mode))
    return std::nullopt;
  // Non-blocking, so that a file replaced by a FIFO in the meantime cannot stall the listing.
  const int file = ::open(item.file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) {
    item.verdict = StartVerdict::Unreadable;
    item.detail = reason(errno);
    return item;
  }
  ::close(file);
  // Plasma starts an autostart script as a program, so one without the execute bit never runs;
  // the others are sourced by a shell, which needs only to read them.
  if (why == &SessionScripts::plasmaScript && ::access(item.file.c_str(), X_OK) != 0) {
    item.verdict = StartVerdict::ProgramMissing;
    item.detail = item.file;
  }
  return item;
}

// The files of a folder that pass the session's filter, in name order. A folder that exists
// but cannot be read is one unreadable item, so that what it may hold is not silently missed.
void addFolder(std::vector<LogonItem> &items, const std::string &folder, const LogonReason *why,
               bool (*taken)(std::string_view)) {
  DIR *dir = ::opendir(folder.c_str());
  if (!dir) {
    if (errno == ENOENT || errno == ENOTDIR)
      return;
    LogonItem item;
    item.source = &SessionScripts::description;
    item.name = folder.substr(folder.rfind('/') + 1);
    item.file = item.command = folder;
    item.reason = why;
    item.verdict = StartVerdict::Unreadable;
    item.detail = reason(errno);
    items.push_back(std::move(item));
    return;
  }
  std::vector<std::string> names;
  while (const dirent *entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    // Plasma lists folders without hidden files, as QDir does by default.
    if (!name.starts_with('.') && taken(name))
      names.emplace_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const auto &name : names)
    if (auto item = sessionFile(folder, name, why))
      items.push_back(std::move(*item));
}

bool isAbsolute(const char *path) { return path && *path == '/'; }

} // namespace

SessionScripts::Folders
SessionScripts::folders(const std::function<const char *(const char *)> &lookUp) {
  Folders result;
  if (const char *value = lookUp("HOME"); value && *value)
    result.home = value;
  else if (const passwd *account = ::getpwuid(::getuid()))
    result.home = account->pw_dir;
  while (result.home.size() > 1 && result.home.back() == '/')
    result.home.pop_back();
  // A relative XDG_CONFIG_HOME is invalid by the XDG rules and ignored, as Qt ignores it.
  const char *config = lookUp("XDG_CONFIG_HOME");
  result.configHome = isAbsolute(config) ? config : inFolder(result.home, ".config");
  while (result.configHome.size() > 1 && result.configHome.back() == '/')
    result.configHome.pop_back();
  return result;
}

LogonSourceListing SessionScripts::list() {
  LogonSourceListing listing;
  auto &items = listing.items;
  for (const auto &[name, why] :
       {std::pair{".xprofile", &xProfile}, std::pair{".xsessionrc", &xSessionRc}})
    if (auto item = sessionFile(places.home, name, why))
      items.push_back(std::move(*item));
  addFolder(items, places.configHome + "/plasma-workspace/env", &plasmaEnv, &hasShellSuffix);
  addFolder(items, places.configHome + "/autostart-scripts", &plasmaScript,
            [](std::string_view name) { return !isBackup(name); });
  return listing;
}

LogonWatch SessionScripts::watchPlaces() {
  return {{places.configHome + "/plasma-workspace/env", places.configHome + "/autostart-scripts"},
          {places.home + "/.xprofile", places.home + "/.xsessionrc"},
          false};
}

} // namespace lw
