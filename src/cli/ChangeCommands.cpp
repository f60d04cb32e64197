// The commands that change entries: add, delete, disable, enable and restore. Each is refused
// before anything is written when the request itself is wrong, and ends like a command of the
// window: the companion starter follows the customized entries.

#include "Commands.h"
#include "ScheduleRule.h"

#include "entries/EntryCommands.h"
#include "entries/FileErrorText.h"
#include "entries/LogonRows.h"
#include "entries/StartupList.h"
#include "scheduler/Schedule.h"
#include "storage/EntryFormat.h"
#include "storage/Reversal.h"
#include "support/TextNumbers.h"

namespace lw::cli {

namespace {

Result refused(std::string why) { return {exitUsage, {}, std::move(why)}; }

std::string quoted(const std::string &name) { return "\"" + name + "\""; }

std::string whereKept(EntryKind kind) {
  switch (kind) {
  case EntryKind::Customized:
    return "the customized entries";
  case EntryKind::CurrentUser:
    return "the user's startup entries";
  case EntryKind::AllUsers:
    return "the machine's startup entries";
  }
  return {};
}

// As the window's list refresh after every command: the starter is entered while customized
// entries exist and removed when none are left.
void updateStarter(Context &context) {
  EntryStore store(context.platform);
  store.readEntries();
  Toolbox toolbox(context.platform);
  updateStarterValue(toolbox, !entriesOf(store.customLines).empty(), context.starterFile);
}

std::string fileOf(const StartupEntry &entry) {
  return entry.file.empty() ? std::string() : " (" + entry.file + ")";
}

} // namespace

Found findEntry(Context &context, EntryKind kind, const std::string &name,
                std::optional<bool> view32) {
  Found found;
  int matches = 0;
  bool views[2] = {false, false}; // of the matches: the usual Run key's, the 32-bit one's
  for (auto &row : startupRows(context, context.platform.clock.now()))
    if (row.kind == kind && row.name == name && (!view32 || row.view32 == *view32)) {
      ++matches;
      views[row.view32] = true;
      found.entry = std::move(row);
    }
  const std::string view = !view32 ? "" : *view32 ? " of the 32-bit view" : " of the 64-bit view";
  if (matches == 0)
    found.refusal =
        refused("there is no entry named " + quoted(name) + " in " + whereKept(kind) + view);
  else if (matches > 1 && views[0] && views[1])
    found.refusal = refused("the name " + quoted(name) + " is in both views of " + whereKept(kind) +
                            "; add --view 32 or --view 64");
  else if (matches > 1)
    found.refusal = refused("the name " + quoted(name) + " is not unique in " + whereKept(kind) +
                            "; change it in the window");
  if (matches != 1)
    found.entry.reset();
  return found;
}

std::optional<Kinds> kindsOfWord(std::string_view word) {
  if (const auto kind = kindOfWord(word))
    return Kinds{kind, std::nullopt};
  if (std::find(std::begin(logonWords), std::end(logonWords), word) != std::end(logonWords))
    return Kinds{std::nullopt, std::string(word)};
  return std::nullopt;
}

Result addFromApplication(Context &context, EntryKind kind, const std::string &application,
                          const std::optional<std::string> &name,
                          const std::optional<std::string> &command,
                          const std::optional<std::string> &rule) {
  const auto found = context.platform.applications
                         ? context.platform.applications->find(application)
                         : std::nullopt;
  if (!found)
    return refused("no installed application has the ID " + quoted(application));
  return addEntry(context, kind, name.value_or(found->name), command.value_or(found->command), rule,
                  kind == EntryKind::Customized ? std::string() : found->id);
}

Result addEntry(Context &context, EntryKind kind, const std::string &name,
                const std::string &command, const std::optional<std::string> &rule,
                const std::string &application) {
  if (name.empty())
    return refused("the name of an entry cannot be empty");
  std::string schedule = encodeSchedule({}); // a new entry's default: once a day
  if (rule) {
    if (kind != EntryKind::Customized)
      return refused("only customized entries have a schedule");
    const auto values = parseScheduleRule(*rule);
    if (!values)
      return refused("the schedule \"" + *rule + "\" is not understood; see --help for the rules");
    schedule = encodeSchedule(*values);
  }
  EntryValues entry{kind, name, command, schedule};
  entry.application = application;
  switch (refusalOf(context.platform.startup, std::nullopt, entry)) {
  case SaveOutcome::LineBreak:
    return refused("a name or command cannot contain a line break");
  case SaveOutcome::NoCommand:
    return refused("the command of an entry cannot be empty or blanks only");
  case SaveOutcome::NotUtf8:
    return refused("the command of a user or machine entry must be UTF-8 text, as its desktop "
                   "file is");
  case SaveOutcome::BadName:
    // Not quoted: the name may hold control characters.
    return refused("the name cannot be used for " + std::string(wordOfKind(kind)) +
                   " entries, whose names are file names: it is blank, \".\" or \"..\", or "
                   "holds a \"/\" or a control character");
  case SaveOutcome::NameTooLong:
    return refused("the name is " + std::to_string(name.size()) + " bytes long; " +
                   wordOfKind(kind) + " entries can have names of at most " +
                   std::to_string(longestName(context.platform.startup, kind)) + " bytes");
  case SaveOutcome::CommandTooLong:
    return refused("the command is " + std::to_string(command.size()) +
                   " bytes long; an entry's command can have at most " +
                   std::to_string(longestCommand) + " bytes");
  default:
    break;
  }
  for (const auto &row : startupRows(context, context.platform.clock.now())) {
    // The session would start the user's entry in its place.
    if (kind == EntryKind::AllUsers && row.kind == EntryKind::CurrentUser && row.name == name)
      return refused("the user's entry " + quoted(name) +
                     " would hide a machine entry of "
                     "that name");
  }

  EntryStore store(context.platform);
  const SaveOutcome saved = saveEntry(store, std::nullopt, entry, {});
  if (saved == SaveOutcome::NameUsed)
    return refused("the name " + quoted(name) + " is already used in " + whereKept(kind) +
                   " (names that differ only in capitals are the same name)");
  if (saved != SaveOutcome::Saved) {
    const std::string file = context.platform.startup.entryFile(rootOf(kind), name);
    return {exitFailure,
            {},
            "the entry " + quoted(name) + " could not be written to " + whereKept(kind) + " (" +
                (file.empty() ? "its startup folder" : file) +
                "): you may lack the rights for it, or the name cannot be used for an entry"};
  }
  updateStarter(context);
  return {exitSuccess, context.texts.getText(text::addedNotice) + "\n", {}};
}

Result deleteEntry(Context &context, EntryKind kind, const std::string &name,
                   std::optional<bool> view32) {
  Found found = findEntry(context, kind, name, view32);
  if (!found.entry)
    return found.refusal;
  EntryStore store(context.platform);
  const EntryValues entry{kind, name, found.entry->command, {}, found.entry->view32};
  switch (lw::deleteEntry(store, entry, context.starterFile)) {
  case RemovalOutcome::Removed:
    break;
  case RemovalOutcome::NothingToRemove:
    return {
        exitFailure, {}, "the entry " + quoted(name) + " was removed meanwhile by another program"};
  case RemovalOutcome::Refused:
    return refused("a name or command cannot contain a line break");
  case RemovalOutcome::Failed:
    return {exitFailure, {}, context.texts.getText(text::removeFailed) + fileOf(*found.entry)};
  }
  return {exitSuccess, context.texts.getText(text::deletedNotice) + "\n", {}};
}

Result switchEntry(Context &context, EntryKind kind, const std::string &name, bool enabled,
                   std::optional<bool> view32) {
  Found found = findEntry(context, kind, name, view32);
  if (!found.entry)
    return found.refusal;
  if (!setEntryEnabled(context.platform, kind, name, enabled, found.entry->view32))
    return {exitFailure,
            {},
            "the entry " + quoted(name) + " could not be switched " + (enabled ? "on" : "off") +
                fileOf(*found.entry)};
  updateStarter(context);
  return {exitSuccess,
          context.texts.getText(enabled ? text::switchedOnNotice : text::switchedOffNotice) + "\n",
          {}};
}

Result switchLogonEntry(Context &context, const std::string &kindWord, const std::string &name,
                        bool enabled) {
  LogonListing listing = readLogonRows(context.platform.logonSources, context.texts,
                                       {kindWord, /*systemComponents=*/true});
  if (!listing.unavailable.empty())
    return {exitFailure, {}, listing.unavailable.front()};
  const StartupEntry *found = nullptr;
  for (const auto &row : listing.rows)
    if (row.name == name) {
      if (found)
        return refused("the name " + quoted(name) + " is not unique among the " + kindWord +
                       " entries");
      found = &row;
    }
  if (!found)
    return refused("there is no " + kindWord + " entry named " + quoted(name));
  const auto switched = switchLogonItem(context.platform, context.texts, *found->logon, enabled);
  switch (switched.outcome) {
  case LogonOutcome::NotSupported:
    return refused("the " + kindWord + " entry " + quoted(name) +
                   " cannot be switched here; change it with the tool that owns it");
  case LogonOutcome::Refused:
    return refused("the " + kindWord + " entry " + quoted(name) + " cannot be switched " +
                   (enabled ? "on" : "off") + ", and nothing was changed: " + switched.why);
  case LogonOutcome::Failed:
    return {exitFailure,
            {},
            "the " + kindWord + " entry " + quoted(name) + " could not be switched " +
                (enabled ? "on" : "off") + (switched.why.empty() ? "" : ": " + switched.why)};
  case LogonOutcome::Done:
    break;
  }
  return {exitSuccess,
          context.texts.getText(enabled ? text::switchedOnNotice : text::switchedOffNotice) + "\n",
          {}};
}

Result restoreRecord(Context &context, long long number) {
  EntryStore store(context.platform);
  store.readBackupFile();
  const auto count = static_cast<long long>(offeredRecords(store.backupLines));
  if (number < 1 || number > count)
    return refused("there is no backup record " + std::to_string(number) + " (there are " +
                   std::to_string(count) + "; see restore --list)");
  Toolbox toolbox(context.platform);
  const ReversalResult reversal =
      lw::restoreRecord(store, toolbox, static_cast<std::size_t>(number));
  if (reversal.restored != 1) {
    std::string why = context.texts.getText(text::restoreFailed);
    if (!reversal.last.why.empty())
      why += " " + reversal.last.why;
    return {exitFailure, {}, why};
  }
  updateStarter(context);
  Result restored{exitSuccess, context.texts.getText(text::restoredNotice) + "\n", {}, {}};
  if (!reversal.last.link.empty())
    restored.notes.push_back(
        restoredAsFileMessage(reversal.last.linkTarget, reversal.last.link, context.texts));
  return restored;
}

} // namespace lw::cli
