#include "XdgStartupState.h"

#include "DesktopVerdict.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace lw {
namespace {

// The entry's Name in the session's language where it differs from the entry's name; empty
// otherwise, and without a copy when the file has the name itself as its Name.
std::string displayNameOf(const DesktopEntry &entry, const std::string &name,
                          const desktop::Session &session) {
  const auto raw = entry.localizedName(session.languages());
  if (!raw || *raw == name)
    return {};
  if (raw->find('\\') == std::string_view::npos) // nearly every Name: nothing to unescape
    return std::string(*raw);
  std::string shown = desktop::unescape(*raw);
  return shown == name ? std::string() : shown;
}

} // namespace

XdgStartupState::XdgStartupState(const XdgLocations &locations, Environment lookUp,
                                 commandline::FileProbe programProbe)
    : user({locations.userAutostart}),
      machine(locations.systemAutostart, locations.systemNewEntries),
      environment(lookUp ? std::move(lookUp) : Environment(&std::getenv)),
      probe(std::move(programProbe)) {
  // Not in an autostart folder, which every session reads and the machine's of which the user
  // may not write: in Launchwright's own folder of the user's configuration.
  if (const auto slash = locations.storeFile.rfind('/'); slash != std::string::npos)
    changesLock = locations.storeFile.substr(0, slash + 1) + "autostart";
}

bool XdgStartupState::usableName(RegistryRoot, std::string_view name) const {
  return AutostartFolders::isSafeName(name) && name.find_first_not_of(" \t") != std::string::npos;
}

std::size_t XdgStartupState::longestName(RegistryRoot root) const {
  // A machine entry is switched off by a file of its name in the user's folder.
  std::size_t longest = textfile::longestFileName(user.newFolder());
  if (root == RegistryRoot::LocalMachine)
    longest = std::min(longest, textfile::longestFileName(machine.newFolder()));
  return longest > AutostartFolders::suffix.size() ? longest - AutostartFolders::suffix.size() : 0;
}

std::optional<AutostartFolders::File> XdgStartupState::machineSwitch(std::string_view name) const {
  auto own = user.find(name);
  if (!own || !machine.find(name))
    return std::nullopt;
  const auto loaded = AutostartFolders::load(own->path);
  if (!loaded.entry || !loaded.entry->switchedOff())
    return std::nullopt;
  return own;
}

std::optional<std::vector<RunEntry>> XdgStartupState::entries(RegistryRoot root) {
  // Read afresh for every listing: the session's desktop and PATH may be changed by then.
  desktop::Session session(environment("XDG_CURRENT_DESKTOP"), environment("PATH"));
  session.setLanguages(desktop::languageNames(environment));
  const auto files = folders(root).list();
  if (!files)
    return std::nullopt;
  const auto others = (root == RegistryRoot::CurrentUser ? machine : user).list();
  return rowsOf(root, *files, others.value_or(std::vector<AutostartFolders::File>()), session);
}

StartupState::BothKeys XdgStartupState::entriesOfBoth() {
  desktop::Session session(environment("XDG_CURRENT_DESKTOP"), environment("PATH"));
  session.setLanguages(desktop::languageNames(environment));
  const auto users = user.list();
  const auto machines = machine.list();
  const std::vector<AutostartFolders::File> none;
  BothKeys both;
  if (users)
    both.user = rowsOf(RegistryRoot::CurrentUser, *users, machines.value_or(none), session);
  if (machines)
    both.machine = rowsOf(RegistryRoot::LocalMachine, *machines, users.value_or(none), session);
  return both;
}

std::vector<RunEntry> XdgStartupState::rowsOf(RegistryRoot root,
                                              const std::vector<AutostartFolders::File> &files,
                                              const std::vector<AutostartFolders::File> &others,
                                              desktop::Session &session) const {
  // Both lists are in byte order: one walk along the other finds every name they share.
  auto cursor = others.begin();
  const auto otherOf = [&others,
                        &cursor](const std::string &name) -> const AutostartFolders::File * {
    while (cursor != others.end() && cursor->name < name)
      ++cursor;
    return cursor != others.end() && cursor->name == name ? &*cursor : nullptr;
  };
  std::vector<RunEntry> rows;
  rows.reserve(files.size());
  for (const auto &file : files) {
    RunEntry row;
    row.name = file.name;
    row.file = file.path;
    const auto loaded = AutostartFolders::load(file);
    const AutostartFolders::File *other = otherOf(file.name);
    if (loaded.entry) {
      const auto &entry = *loaded.entry;
      if (root == RegistryRoot::CurrentUser && other && entry.switchedOff())
        continue; // the machine entry's switch: its row shows it
      auto [verdict, detail] = desktop::judge(entry, session);
      row.verdict = verdict;
      row.detail = std::move(detail);
      row.command = entry.command(file.path);
      if (row.verdict != StartVerdict::Unreadable) { // a file the desktop refuses shows no Name
        row.displayName = displayNameOf(entry, file.name, session);
        const auto name = entry.localizedName(session.languages());
        row.nameless = name && name->empty();
        if (const auto icon = entry.view("Icon"))
          row.icon = desktop::unescape(*icon);
      }
      if (const auto folder = entry.view("Path"))
        row.workingDirectory = desktop::unescape(*folder);
    } else {
      row.verdict = StartVerdict::Unreadable;
      row.detail = loaded.error;
    }
    if (root == RegistryRoot::LocalMachine && other) {
      const auto mine = AutostartFolders::load(*other);
      if (mine.entry && mine.entry->switchedOff()) {
        row.verdict = StartVerdict::Disabled;
        row.detail = desktop::switchKey(*mine.entry);
      } else {
        row.verdict = StartVerdict::Replaced;
        row.detail = other->path;
      }
      row.file = other->path;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::optional<std::string> XdgStartupState::commandOf(RegistryRoot root, std::string_view name) {
  const auto file = folders(root).find(name);
  if (!file || (root == RegistryRoot::CurrentUser && machineSwitch(name)))
    return std::nullopt;
  const auto loaded = AutostartFolders::load(file->path);
  return loaded.entry ? loaded.entry->command(file->path) : std::string();
}

std::optional<std::vector<std::string>> XdgStartupState::names(RegistryRoot root) {
  const auto files = folders(root).list();
  if (!files)
    return std::nullopt;
  std::vector<std::string> listed;
  listed.reserve(files->size());
  for (const auto &file : *files)
    if (root == RegistryRoot::LocalMachine || !machineSwitch(file.name))
      listed.push_back(file.name);
  return listed;
}

std::vector<std::string> XdgStartupState::entryFolders() const {
  std::vector<std::string> folders = user.paths();
  folders.insert(folders.end(), machine.paths().begin(), machine.paths().end());
  return folders;
}

std::optional<std::string> XdgStartupState::missingProgram(std::string_view command) {
  return missingPrograms({command}).front();
}

std::vector<std::optional<std::string>>
XdgStartupState::missingPrograms(const std::vector<std::string_view> &commands) {
  desktop::Session session(nullptr, environment("PATH"));
  // Many commands start the same few programs: each file is probed once for all of them.
  std::map<std::string, bool, std::less<>> probed;
  const commandline::FileProbe remembered = [this, &probed](const std::string &path) {
    const auto known = probed.find(path);
    if (known != probed.end())
      return known->second;
    return probed.emplace(path, probe(path)).first->second;
  };
  std::vector<std::optional<std::string>> answers;
  answers.reserve(commands.size());
  for (const auto command : commands) {
    // Most commands are plain words whose first one is the program file itself.
    if (commandline::isCanonical(command)) {
      const std::string program(command.substr(0, command.find(' ')));
      if (remembered(program)) {
        if (session.findsProgram(program))
          answers.emplace_back();
        else
          answers.emplace_back(program);
        continue;
      }
    }
    auto arguments = commandline::arguments(command, remembered);
    if (arguments.empty() || session.findsProgram(arguments.front()))
      answers.emplace_back();
    else
      answers.emplace_back(std::move(arguments.front()));
  }
  return answers;
}

std::string XdgStartupState::programCommand(std::string_view programFile) const {
  return commandline::quote(programFile);
}

std::string XdgStartupState::unstartableCharacters(std::string_view programFile) const {
  // GLib looks for the program before it turns "%%" into '%', so it never finds a path with a
  // '%', and neither does systemd's generator. systemd refuses a unit whose program path holds
  // a quote, a backslash or a control character, and the generator writes '$' and '`' there
  // with a backslash before them.
  std::string found;
  for (const char c : programFile) {
    const auto byte = static_cast<unsigned char>(c);
    const bool refused = std::string_view("%'\"\\$`").find(c) != std::string_view::npos ||
                         byte < 0x20 || byte == 0x7F;
    if (refused && found.find(c) == std::string::npos)
      found += c;
  }
  return found;
}

} // namespace lw
