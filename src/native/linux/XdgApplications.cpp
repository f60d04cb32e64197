#include "XdgApplications.h"

#include "DesktopEntry.h"
#include "DesktopVerdict.h"
#include "support/FileError.h"
#include "support/TextFile.h"
#include "support/Utf8.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace lw {
namespace {

constexpr std::string_view suffix = ".desktop";
// No menu entry comes near this; a larger file is no desktop entry worth reading.
constexpr std::size_t largestFile = 1024 * 1024;

bool isAbsolute(const char *path) { return path && path[0] == '/'; }

std::string withoutSuffix(std::string_view id) {
  if (id.ends_with(suffix))
    id.remove_suffix(suffix.size());
  return std::string(id);
}

// A file that cannot be read is no application the menu shows.
std::optional<DesktopEntry> load(const std::string &path) {
  try {
    return DesktopEntry::fromBytes(textfile::readBytes(path, largestFile));
  } catch (const FileError &) {
    return std::nullopt;
  }
}

// The value of a string key in the first of the languages the entry translates it to, else
// untranslated; escapes undone. A translation that is not UTF-8 counts as missing, as in GLib.
std::string localized(const DesktopEntry &entry, std::string_view key,
                      const std::vector<std::string> &languages) {
  for (const auto &language : languages) {
    const auto value = entry.view(std::string(key) + "[" + language + "]");
    if (value && isValidUtf8(*value))
      return desktop::unescape(*value);
  }
  return desktop::unescape(entry.view(key).value_or(""));
}

InstalledApplication describe(const std::string &id, const std::string &path,
                              const DesktopEntry &entry, const desktop::Session &session) {
  InstalledApplication application;
  application.id = id;
  const auto name = entry.localizedName(session.languages());
  application.name = name ? desktop::unescape(*name) : id;
  application.comment = localized(entry, "Comment", session.languages());
  application.command = entry.command(path);
  application.icon = desktop::unescape(entry.view("Icon").value_or(""));
  return application;
}

} // namespace

XdgApplications::XdgApplications(Environment lookUp)
    : environment(lookUp ? std::move(lookUp) : Environment(&std::getenv)) {}

std::vector<std::string> XdgApplications::folders(const Environment &lookUp) {
  std::vector<std::string> found;
  if (const char *dataHome = lookUp("XDG_DATA_HOME"); isAbsolute(dataHome)) {
    found.push_back(std::string(dataHome) + "/applications");
  } else {
    std::string home;
    if (const char *value = lookUp("HOME"); value && *value)
      home = value;
    else if (const passwd *account = ::getpwuid(::getuid()))
      home = account->pw_dir;
    found.push_back(home + "/.local/share/applications");
  }
  const char *dirs = lookUp("XDG_DATA_DIRS");
  std::string_view rest = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string dir(rest.substr(0, colon));
    if (isAbsolute(dir.c_str()))
      found.push_back(dir + "/applications");
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return found;
}

std::map<std::string, std::string> XdgApplications::files(const Environment &lookUp) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> found;
  for (const auto &folder : folders(lookUp)) {
    std::error_code error;
    fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied,
                                          error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
      const std::string relative = walk->path().lexically_relative(folder).string();
      if (!relative.ends_with(suffix) || walk->is_directory(error))
        continue;
      std::string id = relative.substr(0, relative.size() - suffix.size());
      std::replace(id.begin(), id.end(), '/', '-');
      found.emplace(std::move(id), walk->path().string()); // an earlier folder's stays
    }
  }
  return found;
}

std::optional<std::string> XdgApplications::fileOf(const Environment &lookUp, std::string_view id) {
  const std::string wanted = withoutSuffix(id);
  if (wanted.empty())
    return std::nullopt;
  const auto all = files(lookUp);
  const auto found = all.find(wanted);
  if (found == all.end())
    return std::nullopt;
  return found->second;
}

std::vector<InstalledApplication> XdgApplications::list() {
  desktop::Session session(environment("XDG_CURRENT_DESKTOP"), environment("PATH"));
  session.setLanguages(desktop::languageNames(environment));
  std::vector<InstalledApplication> shown;
  for (const auto &[id, path] : files(environment)) {
    const auto entry = load(path);
    if (!entry || entry->boolean("NoDisplay") == true)
      continue;
    if (desktop::judge(*entry, session).verdict != StartVerdict::Starts)
      continue;
    shown.push_back(describe(id, path, *entry, session));
  }
  const auto folded = [](std::string text) {
    for (char &c : text)
      if (c >= 'A' && c <= 'Z')
        c = static_cast<char>(c - 'A' + 'a');
    return text;
  };
  std::stable_sort(shown.begin(), shown.end(),
                   [&](const auto &a, const auto &b) { return folded(a.name) < folded(b.name); });
  return shown;
}

std::optional<InstalledApplication> XdgApplications::find(std::string_view id) {
  const auto path = fileOf(environment, id);
  if (!path)
    return std::nullopt;
  const auto entry = load(*path);
  if (!entry || !entry->hasMainGroup())
    return std::nullopt;
  desktop::Session session(environment("XDG_CURRENT_DESKTOP"), environment("PATH"));
  session.setLanguages(desktop::languageNames(environment));
  return describe(withoutSuffix(id), *path, *entry, session);
}

} // namespace lw
