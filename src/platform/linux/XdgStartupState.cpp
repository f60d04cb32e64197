#include "XdgStartupState.h"

#include "DesktopVerdict.h"
#include "XdgRegistry.h"

#include <cstdlib>
#include <map>

namespace lw {

XdgStartupState::XdgStartupState(const XdgLocations &locations, Environment environment,
                                 commandline::FileProbe probe)
    : user({locations.userAutostart}),
      machine(locations.systemAutostart, locations.systemNewEntries),
      environment(environment ? std::move(environment) : Environment(&std::getenv)),
      probe(std::move(probe)) {}

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
  const auto files = folders(root).list();
  if (!files)
    return std::nullopt;
  std::map<std::string, std::string, std::less<>> others; // the other key's names and paths
  if (const auto other = (root == RegistryRoot::CurrentUser ? machine : user).list())
    for (const auto &file : *other)
      others.emplace(file.name, file.path);

  std::vector<RunEntry> rows;
  rows.reserve(files->size());
  for (const auto &file : *files) {
    RunEntry row;
    row.name = file.name;
    row.file = file.path;
    const auto loaded = AutostartFolders::load(file.path);
    const auto other = others.find(file.name);
    if (loaded.entry) {
      const auto &entry = *loaded.entry;
      if (root == RegistryRoot::CurrentUser && other != others.end() && entry.switchedOff())
        continue; // the machine entry's switch: its row shows it
      auto [verdict, detail] = desktop::judge(entry, session);
      row.verdict = verdict;
      row.detail = std::move(detail);
      row.command = entry.command(file.path);
      row.workingDirectory = desktop::unescape(entry.value("Path").value_or(""));
    } else {
      row.verdict = StartVerdict::Unreadable;
      row.detail = loaded.error;
    }
    if (root == RegistryRoot::LocalMachine && other != others.end()) {
      const auto mine = AutostartFolders::load(other->second);
      if (mine.entry && mine.entry->switchedOff()) {
        row.verdict = StartVerdict::Disabled;
        row.detail = desktop::switchKey(*mine.entry);
      } else {
        row.verdict = StartVerdict::Replaced;
        row.detail = other->second;
      }
      row.file = other->second;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::optional<std::string> XdgStartupState::read(RegistryRoot root, std::string_view name) {
  const auto file = folders(root).find(name);
  if (!file || (root == RegistryRoot::CurrentUser && machineSwitch(name)))
    return std::nullopt;
  const auto loaded = AutostartFolders::load(file->path);
  return loaded.entry ? loaded.entry->command(file->path) : std::string();
}

std::optional<std::vector<std::string>> XdgStartupState::enumerate(RegistryRoot root) {
  const auto files = folders(root).list();
  if (!files)
    return std::nullopt;
  std::vector<std::string> names;
  names.reserve(files->size());
  for (const auto &file : *files)
    if (root == RegistryRoot::LocalMachine || !machineSwitch(file.name))
      names.push_back(file.name);
  return names;
}

std::optional<std::string> XdgStartupState::missingProgram(std::string_view command) {
  const auto arguments = commandline::arguments(command, probe);
  if (arguments.empty())
    return std::nullopt;
  desktop::Session session(nullptr, environment("PATH"));
  if (session.findsProgram(arguments.front()))
    return std::nullopt;
  return arguments.front();
}

} // namespace lw
