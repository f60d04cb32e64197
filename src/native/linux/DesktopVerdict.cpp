#include "DesktopVerdict.h"

#include "CommandLine.h"
#include "support/Utf8.h"

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace lw::desktop {
namespace {

// A string value as GLib hands it out: nothing when absent or not UTF-8.
std::optional<std::string> text(const DesktopEntry &entry, std::string_view key) {
  const auto raw = entry.view(key);
  if (!raw || !isValidUtf8(*raw))
    return std::nullopt;
  return unescape(*raw);
}

std::string joined(const std::vector<std::string> &items) {
  std::string result;
  for (const auto &item : items) {
    if (!result.empty())
      result += ';';
    result += item;
  }
  return result;
}

bool isExecutable(const std::string &path) {
  struct stat info {};
  if (::access(path.c_str(), X_OK) != 0 || ::stat(path.c_str(), &info) != 0 ||
      S_ISDIR(info.st_mode))
    return false;
  // access() lets root execute a file without any execute bit; the session would not.
  return ::getuid() != 0 || (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

} // namespace

Session::Session(const char *currentDesktop, const char *path) {
  std::string_view rest = currentDesktop ? currentDesktop : "";
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    if (colon != 0)
      names.emplace_back(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  std::string_view dirs = path ? path : "/bin:/usr/bin:.";
  for (;;) {
    const auto colon = dirs.find(':');
    const auto dir = dirs.substr(0, colon);
    searchPath.emplace_back(dir.empty() ? "." : dir);
    if (colon == std::string_view::npos)
      break;
    dirs.remove_prefix(colon + 1);
  }
}

bool Session::findsProgram(const std::string &program) {
  if (program.empty())
    return false;
  // Many entries start the same few programs: each is looked up once per listing.
  if (const auto known = found.find(program); known != found.end())
    return known->second;
  bool there = false;
  if (program.find('/') != std::string::npos)
    there = isExecutable(program);
  else
    for (const auto &dir : searchPath)
      if ((there = isExecutable(dir + '/' + program)))
        break;
  found.emplace(program, there);
  return there;
}

std::string switchKey(const DesktopEntry &entry) {
  if (entry.boolean("Hidden") == true)
    return "Hidden";
  // GNOME's session counts a value it cannot read as false.
  if (entry.view("X-GNOME-Autostart-enabled") && entry.boolean("X-GNOME-Autostart-enabled") != true)
    return "X-GNOME-Autostart-enabled";
  return {};
}

Verdict judge(const DesktopEntry &entry, Session &session) {
  if (const auto line = entry.badLine())
    return {StartVerdict::Unreadable,
            "line " + std::to_string(*line + 1) + " is neither a key, a group nor a comment"};
  if (auto key = switchKey(entry); !key.empty())
    return {StartVerdict::Disabled, std::move(key)};
  if (!entry.startsWithMainGroup())
    return {StartVerdict::NotAProgram, {}};
  if (entry.view("Type") != "Application") { // the common case needs no unescaping
    const auto type = text(entry, "Type");
    if (type != "Application")
      return {StartVerdict::NotAProgram, type.value_or("")};
  }
  const auto raw = entry.view("Exec");
  if (!raw || !isValidUtf8(*raw))
    return {StartVerdict::NotAProgram, {}};
  std::string program;
  if (entry.execIsCanonical()) {
    program = raw->substr(0, raw->find(' ')); // nothing to unescape, split or unquote
  } else {
    auto words = commandline::parse(unescape(*raw));
    if (!words)
      return {StartVerdict::NotAProgram, {}};
    program = std::move(words->front());
  }

  const auto onlyShowIn = entry.list("OnlyShowIn");
  const auto notShowIn = entry.list("NotShowIn");
  auto listed = [](const std::vector<std::string> &items, const std::string &name) {
    return std::find(items.begin(), items.end(), name) != items.end();
  };
  std::optional<bool> shown;
  for (const auto &name : session.desktops()) {
    if (onlyShowIn && listed(*onlyShowIn, name)) {
      shown = true;
      break;
    }
    if (notShowIn && listed(*notShowIn, name)) {
      shown = false;
      break;
    }
  }
  if (!shown.value_or(!onlyShowIn))
    return {StartVerdict::OtherDesktop, joined(shown ? *notShowIn : *onlyShowIn)};

  if (const auto tryExec = text(entry, "TryExec");
      tryExec && !tryExec->empty() && !session.findsProgram(*tryExec))
    return {StartVerdict::ProgramMissing, *tryExec};
  if (!session.findsProgram(program))
    return {StartVerdict::ProgramMissing, std::move(program)};
  return {};
}

} // namespace lw::desktop
