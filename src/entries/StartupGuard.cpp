#include "StartupGuard.h"

#include "LogonRows.h"
#include "StartupList.h"
#include "storage/EntryStore.h"
#include "support/FileError.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <tuple>

namespace lw {

namespace {

constexpr const char *entriesGroup = "entries";
constexpr std::string_view seenHeader =
    "# Launchwright: what started at logon when it last looked; it compares the next look with "
    "this. Fields, tab-separated: kind, name, where, on, command.";

// Fields are escaped as the journal escapes them; the file is ours alone, so a line that is not
// understood is passed over.
SeenGroups readSeen(const std::string &path) {
  SeenGroups groups;
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored))
    return groups;
  std::vector<SeenEntry> *group = nullptr;
  for (const auto &line :
       textfile::splitLines(textfile::readBytes(path, textfile::dataReadLimit))) {
    if (line.empty() || line.front() == '#')
      continue;
    if (line.front() == '[' && line.back() == ']') {
      group = &groups[line.substr(1, line.size() - 2)];
      continue;
    }
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(journalUnescaped(std::string_view(line).substr(start, tab - start)));
    fields.push_back(journalUnescaped(std::string_view(line).substr(start)));
    if (group && fields.size() == 5)
      group->push_back({fields[0], fields[1], fields[2], fields[3] == "1", fields[4]});
  }
  return groups;
}

void writeSeen(const std::string &path, const SeenGroups &groups) {
  std::string bytes = std::string(seenHeader) + textfile::lineEnd;
  for (const auto &[group, entries] : groups) {
    bytes += "[" + group + "]" + textfile::lineEnd;
    for (const auto &seen : entries)
      bytes += journalEscaped(seen.kind) + "\t" + journalEscaped(seen.name) + "\t" +
               journalEscaped(seen.where) + "\t" + (seen.on ? "1" : "0") + "\t" +
               journalEscaped(seen.command) + textfile::lineEnd;
  }
  textfile::writeAtomically(path, bytes);
}

// What changed from `before` to `after`, in the order of `after`, then what went.
std::vector<ChangeRecord> differences(const std::vector<SeenEntry> &before,
                                      std::vector<SeenEntry> &after, const std::string &time,
                                      const char *by) {
  std::map<std::tuple<const std::string &, const std::string &, const std::string &>,
           const SeenEntry *>
      old;
  for (const auto &seen : before)
    old.emplace(seen.key(), &seen);
  std::vector<ChangeRecord> records;
  auto record = [&](const SeenEntry &seen, const char *change, std::string was, std::string is) {
    records.push_back(
        {0, time, seen.kind, seen.name, change, std::move(was), std::move(is), by, {}});
  };
  std::set<const SeenEntry *> kept;
  for (auto &now : after) {
    const auto found = old.find(now.key());
    if (found == old.end()) {
      record(now, change::added, {}, now.command);
      continue;
    }
    const SeenEntry &was = *found->second;
    kept.insert(&was);
    if (was.command != now.command)
      record(now, change::commandChanged, was.command, now.command);
    // A file that cannot be read now does not say whether it is switched off.
    if (!now.known)
      now.on = was.on;
    if (was.on != now.on)
      record(now, now.on ? change::switchedOn : change::switchedOff, was.command, now.command);
  }
  for (const auto &was : before)
    if (!kept.count(&was))
      record(was, change::removed, was.command, {});
  return records;
}

} // namespace

std::string journalTimeNow() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &now);
#else
  gmtime_r(&now, &parts);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

StartupGuard::StartupGuard(const Platform &system, Toolbox &tools, const LanguageTable &table,
                           std::string_view starterFile)
    : platform(system), toolbox(tools), texts(table), starter(starterFile),
      changes(tools.userFile(changeJournalFileName)), seenPath(tools.userFile(seenFileName)) {}

std::unique_ptr<StartupGuard::Hold> StartupGuard::hold() const {
  // The lock is the session's, not the data folder's: taking it writes nothing there, so a
  // command that is refused leaves the folder as it was.
  std::error_code error;
  std::filesystem::path folder;
  if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/')
    folder = runtime;
  else
    folder = std::filesystem::temp_directory_path(error);
  if (folder.empty())
    folder = std::filesystem::path(changes.path()).parent_path();
  char name[64];
  std::snprintf(name, sizeof name, "launchwright-journal-%zx",
                std::hash<std::string>{}(changes.path()));
  return std::make_unique<Hold>((folder / name).string());
}

std::vector<ChangeRecord> StartupGuard::look(const Hold &held, const GuardScope &scope,
                                             const char *by, bool atStart) {
  return record(held, see(held, scope), by, atStart);
}

StartupGuard::Sight StartupGuard::see(const Hold & /*held*/, const GuardScope &scope) {
  SeenGroups now;
  std::vector<SeenEntry> ignored;
  if (scope.entries) {
    const std::string starterProgram = toolbox.starterFile(starter);
    StartupListing listing = readStartupList(platform, toolbox, texts, starter);
    // Without the store of their switches the customized entries' state is not known: what
    // cannot be read now did not change.
    auto &seen = listing.switchesUnreadable ? ignored : now[entriesGroup];
    for (const auto &row : listing.rows)
      // The starter's entry comes and goes with the customized entries, at the program's own
      // hand; only another command in it is news.
      if (row.kind != EntryKind::CurrentUser || row.name != starterValueName ||
          !platform.startup.isProgramCommand(row.command, starterProgram))
        seen.push_back({wordOfKind(row.kind), row.name, row.view32 ? "32" : "",
                        row.verdict != StartVerdict::Disabled, row.command,
                        row.verdict != StartVerdict::Unreadable});
  }
  std::vector<LogonSource *> sources;
  for (auto *source : platform.logonSources)
    if (scope.allLogon || std::find(scope.logonWords.begin(), scope.logonWords.end(),
                                    source->kind()->word) != scope.logonWords.end())
      sources.push_back(source);
  for (auto &answer : askLogonSources(sources, std::nullopt)) {
    if (answer.listing.unavailable || answer.listing.refused)
      continue; // what cannot be read now did not change
    auto &seen = now[answer.kind->word];
    for (const auto &item : answer.listing.items)
      seen.push_back({answer.kind->word, item.name, item.file,
                      item.verdict != StartVerdict::Disabled, item.command,
                      item.verdict != StartVerdict::Unreadable});
  }
  return {std::move(now)};
}

std::vector<ChangeRecord> StartupGuard::record(const Hold & /*held*/, Sight sight, const char *by,
                                               bool atStart) {
  SeenGroups &now = sight.groups;

  SeenGroups last = readSeen(seenPath);
  const bool firstLook = last.empty();
  const std::string time = (atStart ? "before " : "") + journalTimeNow();
  std::vector<ChangeRecord> records;
  bool different = false;
  for (auto &[group, entries] : now) {
    const auto was = last.find(group);
    if (was == last.end()) {
      different = true;
    } else {
      auto found = differences(was->second, entries, time, by);
      different = different || !found.empty() || was->second.size() != entries.size();
      if (!firstLook)
        records.insert(records.end(), std::make_move_iterator(found.begin()),
                       std::make_move_iterator(found.end()));
    }
    last[group] = std::move(entries);
  }
  // Records first: a crash between the two writes records a change again rather than losing it.
  records = changes.append(std::move(records));
  if (different)
    writeSeen(seenPath, last);
  return records;
}

} // namespace lw
