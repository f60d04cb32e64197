// The commands that only read: list, check and restore --list.

#include "Commands.h"
#include "JsonText.h"
#include "RowForms.h"

#include "entries/CustomizedTiming.h"
#include "entries/EntryFile.h"
#include "entries/LogonRows.h"
#include "entries/StartupList.h"
#include "entries/StartupStatus.h"
#include "storage/EntryFormat.h"
#include "storage/Reversal.h"
#include "support/TextNumbers.h"

#include <algorithm>

namespace lw::cli {

namespace {

using json::appendBytes;
using json::appendKey;
using json::appendWord;

// The display width of UTF-8 text, one column per character; good enough for names and
// commands, which are seldom wide characters.
std::size_t widthOf(std::string_view text) {
  std::size_t width = 0;
  for (const char c : text)
    width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return width;
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
// that lists everything is not told on every run that this machine has no user manager.
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
  if (kinds.logon)
    result.notes = std::move(logon.unavailable);
  return rows;
}

Result listEntries(Context &context, ListForm form, const Kinds &kinds) {
  Result result;
  // The Status of a customized row is worked out with its timing, once, not by startupRows.
  std::vector<StartupEntry> rows = rowsOfKinds(context, kinds, result);
  RowWriter writer(context.texts, context.platform.clock.now());
  std::string &out = result.out;
  if (form == ListForm::Json) {
    out.reserve(rows.size() * 256);
    out += '[';
    for (std::size_t i = 0; i < rows.size(); ++i) {
      out += i == 0 ? "\n" : ",\n";
      appendJson(out, rows[i], writer);
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
  out = cellLines(cells, table);
  return result;
}

Result showEntry(Context &context, EntryKind kind, const std::string &name) {
  Found found = findEntry(context, kind, name);
  if (!found.entry)
    return found.refusal;
  const StartupEntry &entry = *found.entry;
  const ShownEntry shown = shownEntry(entry, ownFile(entry, context.platform.startup));
  if (!shown.read)
    return {exitFailure, {}, shown.error};
  return {exitSuccess, shown.text, {}};
}

Result checkEntries(Context &context, const std::optional<std::string> &name, const Kinds &kinds) {
  Result result;
  bool found = false;
  std::vector<StartupEntry> rows = rowsOfKinds(context, kinds, result);
  describeTimings(rows, context.platform.clock.now(), {}, {}, context.texts);
  for (const auto &row : rows) {
    if (name && row.name != *name)
      continue;
    found = true;
    const std::string kind = row.logon ? logonKindLabel(row.logon->source, context.texts)
                                       : kindLabel(row.kind, context.texts);
    result.out += kind + " \"" + escapedCell(row.name) +
                  "\": " + entryStatus(row, context.texts).reason + "\n";
    if (row.verdict != StartVerdict::Starts)
      result.status = exitFailure;
  }
  if (name && !found)
    return {exitUsage, {}, "there is no startup entry named \"" + *name + "\""};
  return result;
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
  // Numbered as the reversal walk meets them, so that "restore N" answers Yes to the same one.
  for (std::size_t p = 0; p < lines.size(); ++p) {
    if (!beginsRecord(lines[p]) || p + 3 >= lines.size())
      continue;
    const std::string &header = lines[p], &name = lines[p + 1], &command = lines[p + 2],
                      &kindLine = lines[p + 3];
    ++number;
    if (!json) {
      out += std::to_string(number) + '\t' + escapedCell(header) + '\t' + escapedCell(name) + '\t' +
             escapedCell(backupKindLabel(kindLine, context.texts)) + '\t' + escapedCell(command) +
             '\n';
      continue;
    }
    out += number == 1 ? "\n" : ",\n";
    out += "{\"number\":" + std::to_string(number);
    appendBytes(out, "header", "header_hex", header);
    appendBytes(out, "name", "name_hex", name);
    appendKey(out, "kind");
    const auto kind = backupKindOf(kindLine);
    if (kind)
      appendWord(out, wordOfKind(*kind));
    else
      out += "null"; // a hand edit left something else there
    appendBytes(out, "command", "command_hex", command);
    out += '}';
  }
  if (json)
    out += number == 0 ? "]\n" : "\n]\n";
  return result;
}

} // namespace lw::cli
