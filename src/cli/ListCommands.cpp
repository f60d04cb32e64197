// The commands that only read: list, check and restore --list.

#include "Commands.h"
#include "JsonText.h"
#include "RowForms.h"
#include "TableFit.h"

#include "entries/CustomizedTiming.h"
#include "entries/EntryFile.h"
#include "entries/LogonRows.h"
#include "entries/StartupList.h"
#include "entries/StartupStatus.h"
#include "storage/BackupCopies.h"
#include "storage/EntryFormat.h"
#include "storage/Reversal.h"
#include "support/FileError.h"
#include "support/TextNumbers.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace lw::cli {

namespace {

using json::appendBytes;
using json::appendKey;
using json::appendWord;

// Where the table has the command, the column that gives way on a narrow terminal, and where
// the times of customized entries begin, which are never cut.
constexpr std::size_t commandColumn = 3;
constexpr std::size_t firstTimeColumn = 5;

// Where the records begin that restore --list cannot show: "<file>: 2 records cannot be read
// (lines 12 and 40); ...". A long run of them names the first few lines only.
std::string unreadableNote(const std::string &file, const std::vector<std::size_t> &unreadable) {
  constexpr std::size_t named = 5;
  const bool one = unreadable.size() == 1;
  std::string note = file + ": " + std::to_string(unreadable.size()) +
                     (one ? " record cannot be read (line " : " records cannot be read (lines ");
  for (std::size_t i = 0; i < unreadable.size() && i < named; ++i) {
    if (i > 0)
      note += i + 1 == unreadable.size() ? " and " : ", ";
    note += std::to_string(backupFileLine(unreadable[i]));
  }
  if (unreadable.size() > named)
    note += " and " + std::to_string(unreadable.size() - named) + " more";
  return note + (one ? "); it is not listed, and it and its full copy are left as they are"
                     : "); they are not listed, and they and their full copies are left as they "
                       "are");
}

// Whether the machine record at p is of the 32-bit Run key, as its copy says. A copy that cannot
// be read says no here; the restore itself names it. The copies' names are worked out once for
// the whole file, so that a long backup file lists in one pass.
bool copyOfView32(const EntryStore &store, std::optional<CopyNames> &names,
                  const std::vector<std::string> &lines, std::size_t p) {
  try {
    if (!names)
      names.emplace(lines);
    const auto copy = readCopy(store.copiesPath(), names->of(p), lines, p);
    return copy && copy->view32;
  } catch (const FileError &) {
    return false;
  }
}

std::string noEntryNamed(const std::string &name) {
  return "there is no startup entry named \"" + name + "\"";
}

} // namespace

std::string escapedCell(std::string_view bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      out += c;
      continue;
    }
    out += '\\';
    switch (c) {
    case '\t':
      out += 't';
      break;
    case '\n':
      out += 'n';
      break;
    case '\r':
      out += 'r';
      break;
    default:
      out += 'x';
      out += digits[byte >> 4];
      out += digits[byte & 0x0F];
    }
  }
  return out;
}

std::string cellLines(const std::vector<std::vector<std::string>> &rows, bool aligned) {
  std::vector<std::size_t> widths;
  if (aligned)
    for (const auto &row : rows)
      for (std::size_t i = 0; i < row.size(); ++i) {
        if (widths.size() <= i)
          widths.push_back(0);
        widths[i] = std::max(widths[i], widthOf(row[i]));
      }
  std::string out;
  for (const auto &row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) {
      out += row[i];
      if (i + 1 == row.size())
        break;
      if (aligned)
        out.append(widths[i] - widthOf(row[i]) + 2, ' ');
      else
        out += '\t';
    }
    out += '\n';
  }
  return out;
}

std::vector<StartupEntry> startupRows(Context &context, const LocalTime &now) {
  Toolbox toolbox(context.platform);
  StartupListing listing =
      readStartupList(context.platform, toolbox, context.texts, context.starterFile);
  // A script must not read "starts" for an entry whose switch nobody knows.
  if (listing.switchesUnreadable)
    throw *listing.switchesUnreadable;
  std::vector<StartupEntry> rows = std::move(listing.rows);
  describeTimings(rows, now, {}, {}, context.texts);
  return rows;
}

// The rows of the kinds asked for: the window's rows first, then the other ways a program starts
// at logon. A source that could not be asked is a note when it was asked for by name; a script
// that lists everything is not told on every run that this machine has no user manager, but is
// told of a source that refused to answer, whose items may start unseen.
std::vector<StartupEntry> rowsOfKinds(Context &context, const Kinds &kinds, Result &result) {
  std::vector<StartupEntry> rows;
  if (!kinds.logon) {
    Toolbox toolbox(context.platform);
    StartupListing listing =
        readStartupList(context.platform, toolbox, context.texts, context.starterFile);
    // A script must not read "starts" for an entry whose switch nobody knows.
    if (listing.switchesUnreadable)
      throw *listing.switchesUnreadable;
    rows = std::move(listing.rows);
    if (kinds.entry)
      std::erase_if(rows, [&kinds](const StartupEntry &row) { return row.kind != *kinds.entry; });
  }
  if (kinds.entry)
    return rows;
  LogonListing logon = readLogonRows(context.platform.logonSources, context.texts,
                                     {kinds.logon, /*systemComponents=*/true});
  rows.reserve(rows.size() + logon.rows.size());
  std::move(logon.rows.begin(), logon.rows.end(), std::back_inserter(rows));
  result.notes = kinds.logon ? std::move(logon.unavailable) : std::move(logon.refusals);
  return rows;
}

Result listEntries(Context &context, ListForm form, const Kinds &kinds, const TableWidth &width) {
  Result result;
  // The Status of a customized row is worked out with its timing, once, not by startupRows.
  std::vector<StartupEntry> rows = rowsOfKinds(context, kinds, result);
  RowWriter writer(context.texts, context.platform.clock.now());
  std::string &out = result.out;
  if (form == ListForm::Json) {
    out.reserve(rows.size() * 320);
    out += '[';
    std::vector<LogonRecording> recordings;
    const LogonRecording *logon = nullptr;
    // A recording that cannot be read costs the rows their figures, never the listing.
    try {
      logon = lastLogon(context, recordings);
    } catch (const FileError &error) {
      result.notes.push_back(error.path() + ": " + error.reason());
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
      out += i == 0 ? "\n" : ",\n";
      appendJson(out, rows[i], writer);
      out.pop_back();
      appendKey(out, "impact");
      appendImpactJson(out, impactOf(rows[i], logon));
      out += '}';
      // Read per row only where the system keeps it in the program file (none on Linux, whose
      // output stays as it was).
      if (const std::string publisher = entryPublisher(rows[i], context.platform);
          !publisher.empty()) {
        out.pop_back();
        json::appendText(out, "publisher", publisher);
        out += '}';
      }
    }
    out += rows.empty() ? "]\n" : "\n]\n";
    return result;
  }
  const bool table = form == ListForm::Table;
  std::vector<std::vector<std::string>> cells;
  cells.reserve(rows.size() + 1);
  if (table) {
    cells.push_back({"Kind", "Name", "Status", "Command"});
    // Customized entries come first: the header has their columns when the first row has.
    if (!rows.empty() && rows.front().kind == EntryKind::Customized && !rows.front().logon)
      cells.front().insert(cells.front().end(), {"Schedule", "Last start", "Next start"});
  }
  for (auto &row : rows)
    cells.push_back(cellsOf(row, writer, context, table));
  if (table)
    fitToWidth(cells, commandColumn, firstTimeColumn, width);
  out = cellLines(cells, table);
  return result;
}

Result showEntry(Context &context, EntryKind kind, const std::string &name,
                 std::optional<bool> view32) {
  Found found = findEntry(context, kind, name, view32);
  if (!found.entry)
    return found.refusal;
  const StartupEntry &entry = *found.entry;
  // The stored schedule line is a code for the timer; a person reads the rule as the window
  // words it.
  if (entry.kind == EntryKind::Customized && !entry.logon)
    return {exitSuccess,
            entry.name + "\n" + entry.command + "\n" +
                ruleInWords(entry.scheduleLine, context.texts) + "\n",
            {}};
  const ShownEntry shown = shownEntry(entry, ownFile(entry, context.platform.startup));
  if (!shown.read)
    return {exitFailure, {}, shown.error};
  return {exitSuccess, shown.text, {}};
}

std::vector<StartupEntry> rowsNamed(Context &context, const std::optional<std::string> &name,
                                    const Kinds &kinds, Result &result) {
  std::vector<StartupEntry> rows = rowsOfKinds(context, kinds, result);
  std::erase_if(rows, [&name, &kinds](const StartupEntry &row) {
    return (name && row.name != *name) || (kinds.view32 && row.view32 != *kinds.view32);
  });
  return rows;
}

Result checkEntries(Context &context, const std::optional<std::string> &name, const Kinds &kinds) {
  Result result;
  std::vector<StartupEntry> rows = rowsNamed(context, name, kinds, result);
  describeTimings(rows, context.platform.clock.now(), {}, {}, context.texts);
  for (const auto &row : rows) {
    // The name alone finds the entry where no other kind has one of that name.
    const bool bare = kinds.all() && std::ranges::none_of(rows, [&row](const StartupEntry &other) {
                        return other.name == row.name && kindWordOf(other) != kindWordOf(row);
                      });
    const std::string kind = row.logon ? logonKindLabel(row.logon->source, context.texts)
                                       : kindLabel(row, context.texts);
    result.out +=
        kind + " \"" + escapedCell(row.name) + "\": " + terminalReason(row, context, bare) + "\n";
    if (row.verdict != StartVerdict::Starts)
      result.status = exitFailure;
  }
  if (name && rows.empty())
    return {exitUsage, {}, noEntryNamed(*name)};
  // Every entry checked may start, but not every one could be checked.
  if (!name && !result.notes.empty())
    result.status = exitFailure;
  return result;
}

NamedKind kindOfName(Context &context, const std::string &name) {
  Result ignored;
  std::vector<std::string> words;
  for (const auto &row : rowsNamed(context, name, {}, ignored)) {
    const std::string word = kindWordOf(row);
    if (std::ranges::find(words, word) == words.end())
      words.push_back(word);
  }
  if (words.empty())
    return {std::nullopt, {exitUsage, {}, noEntryNamed(name)}};
  if (words.size() > 1) {
    std::string kinds;
    for (std::size_t i = 0; i < words.size(); ++i)
      kinds += (i == 0 ? "" : i + 1 == words.size() ? " and " : ", ") + words[i];
    return {std::nullopt,
            {exitUsage,
             {},
             "the name \"" + name + "\" is used by entries of the kinds " + kinds +
                 "; name the one you mean with --kind K --name N"}};
  }
  return {kindsOfWord(words.front()), {}};
}

Result listBackup(Context &context, bool json) {
  EntryStore store(context.platform);
  store.readBackupFile();
  const auto &lines = store.backupLines;
  Result result;
  std::string &out = result.out;
  if (json)
    out += '[';
  int number = 0;
  std::optional<CopyNames> copyNames; // only when a machine record asks
  // Numbered as the reversal walk meets them, so that "restore N" answers Yes to the same one.
  for (std::size_t p = 0; p < lines.size(); ++p) {
    if (!beginsRecord(lines[p]) || p + 3 >= lines.size())
      continue;
    const std::string &header = lines[p], &name = lines[p + 1], &command = lines[p + 2],
                      &kindLine = lines[p + 3];
    ++number;
    const auto kind = backupKindOf(kindLine);
    const bool machine = kind == EntryKind::AllUsers;
    const bool view32 = machine && copyOfView32(store, copyNames, lines, p);
    if (!json) {
      const std::string kindShown =
          view32 ? context.texts.getText(text::allUsers32Label)
                 : recordKindLabel(kindLine, context.platform.logonSources, context.texts);
      out += std::to_string(number) + '\t' + escapedCell(header) + '\t' + escapedCell(name) + '\t' +
             escapedCell(kindShown) + '\t' + escapedCell(command) + '\n';
      continue;
    }
    out += number == 1 ? "\n" : ",\n";
    out += "{\"number\":" + std::to_string(number);
    appendBytes(out, "header", "header_hex", header);
    appendBytes(out, "name", "name_hex", name);
    appendKey(out, "kind");
    if (kind)
      appendWord(out, wordOfKind(*kind));
    else
      out += "null"; // a hand edit left something else there
    appendBytes(out, "command", "command_hex", command);
    if (machine)
      appendView(out, view32);
    out += '}';
  }
  if (json)
    out += number == 0 ? "]\n" : "\n]\n";
  if (const auto unreadable = unreadableRecords(lines); !unreadable.empty())
    result.notes.push_back(unreadableNote(store.backupPath(), unreadable));
  return result;
}

} // namespace lw::cli
