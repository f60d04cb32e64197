#include "entries/StartupList.h"

#include "scheduler/NextStart.h"
#include "storage/DisabledEntries.h"
#include "support/TextNumbers.h"

#include <algorithm>
#include <unordered_set>

namespace lw {

namespace {

void appendCount(std::string &status, const LanguageTable &texts, std::int32_t number,
                 std::size_t count, const char *end) {
  status += texts.getText(number);
  status += ' ';
  status += std::to_string(count);
  status += end;
}

std::size_t appendRunEntries(StartupListing &listing, std::optional<std::vector<RunEntry>> entries,
                             EntryKind kind) {
  if (!entries)
    return 0;
  for (auto &entry : *entries) {
    listing.rows.push_back({kind,
                            std::move(entry.name),
                            std::move(entry.command),
                            entry.verdict,
                            std::move(entry.detail),
                            std::move(entry.file),
                            std::move(entry.workingDirectory),
                            {}});
    listing.rows.back().displayName = std::move(entry.displayName);
    listing.rows.back().nameless = entry.nameless;
    listing.rows.back().icon = std::move(entry.icon);
    listing.rows.back().view32 = entry.view32;
  }
  return entries->size();
}

// Launchwright starts these itself: the user's switch, the program and the rule decide. The
// switch comes first: it is the user's own choice and says all. A missing program comes before
// a rule that can never be due, because the Status cell's timing says "never starts" and why in
// any case; the other way round the cell would hide the missing program. The rule is judged from
// the schedule line alone: the timings are worked out only when a row is shown.
// A switch that cannot be read says nothing either way: such rows are Unreadable, naming the
// store, and never shown as starting.
void judgeCustomized(std::vector<StartupEntry> &rows, const std::vector<std::string> &disabled,
                     const std::optional<FileError> &switchesUnreadable, StartupState &startup) {
  // One hash lookup a row: many entries, many of them switched off, must not cost their product.
  const std::unordered_set<std::string_view> off(disabled.begin(), disabled.end());
  std::vector<std::string_view> commands;
  std::vector<StartupEntry *> switchedOn;
  for (auto &row : rows)
    if (switchesUnreadable) {
      row.verdict = StartVerdict::Unreadable;
      row.detail = switchesUnreadable->what();
    } else if (off.contains(row.name)) {
      row.verdict = StartVerdict::Disabled;
    } else {
      commands.emplace_back(row.command);
      switchedOn.push_back(&row);
    }
  auto missing = startup.missingPrograms(commands);
  for (std::size_t i = 0; i < switchedOn.size(); ++i)
    if (i < missing.size() && missing[i]) {
      switchedOn[i]->verdict = StartVerdict::ProgramMissing;
      switchedOn[i]->detail = std::move(*missing[i]);
    } else if (neverDue(switchedOn[i]->scheduleLine)) {
      switchedOn[i]->verdict = StartVerdict::NeverDue;
    }
}

// A path that some session cannot start a program from would otherwise show the starter as
// starting, or as missing where the file is plainly there.
void judgeStarter(std::vector<StartupEntry> &rows, StartupState &startup,
                  const std::string &starter) {
  const std::string characters = startup.unstartableCharacters(starter);
  if (characters.empty())
    return;
  for (auto &row : rows)
    if (row.kind == EntryKind::CurrentUser && sameRegistryName(row.name, starterValueName) &&
        startup.isProgramCommand(row.command, starter) &&
        (row.verdict == StartVerdict::Starts || row.verdict == StartVerdict::ProgramMissing)) {
      row.verdict = StartVerdict::ProgramMissing;
      row.detail = characters;
      row.starterPathRefused = true;
    }
}

} // namespace

std::string kindLabel(EntryKind kind, const LanguageTable &texts) {
  switch (kind) {
  case EntryKind::Customized:
    return texts.getText(text::customizedLabel);
  case EntryKind::CurrentUser:
    return texts.getText(text::currentUserLabel);
  case EntryKind::AllUsers:
    return texts.getText(text::allUsersLabel);
  }
  return {};
}

std::string kindLabel(const StartupEntry &entry, const LanguageTable &texts) {
  return entry.view32 ? texts.getText(text::allUsers32Label) : kindLabel(entry.kind, texts);
}

const char *wordOfKind(EntryKind kind) {
  switch (kind) {
  case EntryKind::Customized:
    return "customized";
  case EntryKind::CurrentUser:
    return "user";
  case EntryKind::AllUsers:
    return "machine";
  }
  return "";
}

std::optional<EntryKind> kindOfWord(std::string_view word) {
  for (const auto kind : {EntryKind::Customized, EntryKind::CurrentUser, EntryKind::AllUsers})
    if (word == wordOfKind(kind))
      return kind;
  return std::nullopt;
}

std::string kindWordOf(const StartupEntry &row) {
  return row.logon ? std::string(row.logon->source->word) : wordOfKind(row.kind);
}

StartupListing readStartupList(const Platform &platform, Toolbox &toolbox,
                               const LanguageTable &texts, std::string_view starterFile) {
  EntryStore store(platform);
  store.readEntries();
  auto keys = platform.startup.entriesOfBoth();
  auto customized = entriesOf(std::move(store.customLines));

  StartupListing listing;
  // Sized once: a long list would otherwise be held twice while it grows.
  listing.rows.reserve(customized.size() + (keys.user ? keys.user->size() : 0) +
                       (keys.machine ? keys.machine->size() : 0));
  // Without customized entries the switches decide nothing, and a store that cannot be read
  // is nobody's concern here.
  std::vector<std::string> disabled;
  try {
    if (!customized.empty())
      disabled = disabledCustomizedNames(platform.registry);
  } catch (const FileError &error) {
    listing.switchesUnreadable = error;
  }
  for (auto &entry : customized) {
    StartupEntry row{EntryKind::Customized, std::move(entry.name), std::move(entry.command)};
    row.scheduleLine = std::move(entry.scheduleLine);
    listing.rows.push_back(std::move(row));
  }
  customized = {};
  judgeCustomized(listing.rows, disabled, listing.switchesUnreadable, platform.startup);
  listing.customizedCount = listing.rows.size();
  appendCount(listing.statusText, texts, text::customizedCount, listing.customizedCount, "\n");

  const std::size_t user = appendRunEntries(listing, std::move(keys.user), EntryKind::CurrentUser);
  if (!starterFile.empty())
    judgeStarter(listing.rows, platform.startup, toolbox.starterFile(starterFile));
  appendCount(listing.statusText, texts, text::currentUserCount, user, "\n");

  const std::size_t machine =
      appendRunEntries(listing, std::move(keys.machine), EntryKind::AllUsers);
  appendCount(listing.statusText, texts, text::allUsersCount, machine, "\n\n");
  appendCount(listing.statusText, texts, text::totalCount, listing.rows.size(), "");

  listing.notStarting = static_cast<std::size_t>(
      std::count_if(listing.rows.begin(), listing.rows.end(),
                    [](const StartupEntry &row) { return row.verdict != StartVerdict::Starts; }));
  if (listing.notStarting != 0) {
    listing.statusText += '\n';
    appendCount(listing.statusText, texts, text::notStartingCount, listing.notStarting, "");
  }
  return listing;
}

void updateStarterValue(Toolbox &toolbox, bool customizedEntriesExist,
                        std::string_view starterFile) {
  StartupState &startup = toolbox.system().startup;
  if (!customizedEntriesExist) {
    // The user's switch of the starter's entry stays for when it comes back.
    startup.remove(RegistryRoot::CurrentUser, starterValueName);
    return;
  }
  // Rewriting an entry that is already right could undo what the user did to it since, such as
  // switching it off; only a missing entry or another command is written (an older unquoted
  // path with blanks is another command: it gets its quotes).
  const std::string program = toolbox.starterFile(starterFile);
  const auto held = startup.commandOf(RegistryRoot::CurrentUser, starterValueName);
  if (!held || !startup.isProgramCommand(*held, program))
    startup.write(RegistryRoot::CurrentUser, starterValueName, startup.programCommand(program));
}

} // namespace lw
