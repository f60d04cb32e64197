// The change journal on the command line: `changes`, and the looks around every command that
// changes entries, which record its changes as the command line's.

#include "Commands.h"
#include "JsonText.h"

#include "entries/StartupGuard.h"
#include "support/FileError.h"
#include "support/Toolbox.h"

#include <string_view>

namespace lw::cli {

namespace {

// A change found at a start is dated "before" that start; it counts from then.
std::string_view timeOf(const ChangeRecord &record) {
  std::string_view time = record.time;
  constexpr std::string_view before = "before ";
  if (time.substr(0, before.size()) == before)
    time.remove_prefix(before.size());
  return time;
}

void appendOrNull(std::string &out, const char *key, const std::string &text) {
  if (text.empty()) {
    json::appendKey(out, key);
    out += "null";
  } else {
    json::appendText(out, key, text);
  }
}

std::string journalNote(const FileError &error) {
  return "the change journal could not be kept: " + std::string(error.what());
}

} // namespace

Result listChanges(Context &context, ListForm form, const ChangeFilter &filter) {
  Toolbox toolbox(context.platform);
  const ChangeJournal journal(toolbox.userFile(changeJournalFileName));
  std::vector<ChangeRecord> records = journal.read();
  std::erase_if(records, [&filter](const ChangeRecord &record) {
    // Both times are UTC in one form, so they compare as text.
    return (filter.since && timeOf(record) < *filter.since) ||
           (filter.kind && record.kind != *filter.kind);
  });
  Result result;
  std::string &out = result.out;
  if (form == ListForm::Json) {
    out.reserve(records.size() * 160);
    out += '[';
    for (std::size_t i = 0; i < records.size(); ++i) {
      const auto &record = records[i];
      out += i == 0 ? "\n{" : ",\n{";
      out += "\"time\":";
      json::appendText(out, record.time);
      json::appendText(out, "kind", record.kind);
      json::appendText(out, "name", record.name);
      json::appendText(out, "change", record.change);
      appendOrNull(out, "before", record.before);
      appendOrNull(out, "after", record.after);
      json::appendText(out, "by", record.by);
      appendOrNull(out, "action", record.action);
      out += '}';
    }
    out += records.empty() ? "]\n" : "\n]\n";
    return result;
  }
  std::vector<std::vector<std::string>> cells;
  if (form == ListForm::Table)
    cells.push_back({"TIME", "KIND", "NAME", "CHANGE", "BEFORE", "AFTER", "BY", "ACTION"});
  for (const auto &record : records)
    cells.push_back({escapedCell(record.time), escapedCell(record.kind), escapedCell(record.name),
                     escapedCell(record.change), escapedCell(record.before),
                     escapedCell(record.after), escapedCell(record.by),
                     escapedCell(record.action)});
  out = cellLines(cells, form == ListForm::Table);
  return result;
}

Result journaled(Context &context, const GuardScope &scope, const std::function<Result()> &change) {
  // The journal serves the user; a journal that cannot be kept does not stop their change.
  std::vector<std::string> notes;
  Toolbox toolbox(context.platform);
  std::optional<StartupGuard> guard;
  std::unique_ptr<StartupGuard::Hold> held;
  std::optional<StartupGuard::Sight> before;
  try {
    guard.emplace(context.platform, toolbox, context.texts, context.starterFile);
    held = guard->hold();
    before = guard->see(*held, scope);
  } catch (const FileError &error) {
    notes.push_back(journalNote(error));
  }
  // A command that is refused, or fails at a file it cannot use, writes nothing to the journal
  // either: what it may have changed, and what others did meanwhile, the next look finds.
  Result result = change();
  if (before && result.status == exitSuccess) {
    try {
      guard->record(*held, std::move(*before), changeBy::other);
      guard->look(*held, scope, changeBy::commandLine);
    } catch (const FileError &error) {
      notes.push_back(journalNote(error));
    }
  }
  result.notes.insert(result.notes.end(), notes.begin(), notes.end());
  return result;
}

} // namespace lw::cli
