// The commands that only read: list, check and restore --list.

#include "Commands.h"
#include "JsonText.h"

#include "entries/CustomizedTiming.h"
#include "entries/LogonRows.h"
#include "entries/StartupList.h"
#include "entries/StartupStatus.h"
#include "scheduler/NextStart.h"
#include "scheduler/ScheduleStatus.h"
#include "storage/EntryFormat.h"
#include "storage/Reversal.h"
#include "support/TextNumbers.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace lw::cli {

namespace {

namespace fs = std::filesystem;

// The fixed code of a verdict, for scripts.
const char *reasonCode(StartVerdict verdict) {
  switch (verdict) {
  case StartVerdict::Starts:
    return "starts";
  case StartVerdict::Disabled:
    return "disabled";
  case StartVerdict::OtherDesktop:
    return "other-desktop";
  case StartVerdict::ProgramMissing:
    return "program-missing";
  case StartVerdict::NotAProgram:
    return "not-a-program";
  case StartVerdict::Replaced:
    return "replaced";
  case StartVerdict::Unreadable:
    return "unreadable";
  case StartVerdict::NeverDue:
    return "never-due";
  }
  return "unknown";
}

std::string isoTime(const LocalTime &time) {
  char text[32];
  if (time.year < 0 || time.year > 9999) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
    return text;
  }
  // A listing writes two of these per customized entry: digits by hand, not through printf.
  char *to = text;
  const auto put = [&to](int value, int digits, char after) {
    for (int i = digits - 1; i >= 0; --i, value /= 10)
      to[i] = static_cast<char>('0' + value % 10);
    to += digits;
    *to++ = after;
  };
  put(time.year, 4, '-');
  put(time.month, 2, '-');
  put(time.day, 2, 'T');
  put(time.hour, 2, ':');
  put(time.minute, 2, ':');
  put(time.second, 2, '\0');
  return text;
}

// A customized entry's rule in words and its last and next start, as the window works them out.
struct Timing {
  std::string schedule;
  std::optional<std::string> lastStart;
  std::optional<std::string> nextStart; // none when the timer will not start it by itself
};

class TimingReader {
public:
  TimingReader(const LanguageTable &table, const LocalTime &at)
      : texts(table), now(at), moment(TickMoment::of(at)) {}

  // Also gives the entry the part of its Status about the next start, as the window's list does.
  Timing of(StartupEntry &entry) const {
    Timing timing{ruleInWords(entry.scheduleLine, texts), {}, {}};
    LocalTime last;
    if (lastStartOf(entry.scheduleLine, last))
      timing.lastStart = isoTime(last);
    const NextStart next = nextStart(entry.scheduleLine, now, moment, false);
    // The timer passes over an entry that is switched off.
    const bool off = entry.verdict == StartVerdict::Disabled;
    entry.timingBrief = customizedStatusBrief(off ? nullptr : &next, nullptr, texts);
    if (off)
      return timing;
    if (next.when == NextStart::When::At)
      timing.nextStart = isoTime(next.at);
    else if (next.when == NextStart::When::Now)
      timing.nextStart =
          isoTime({now.year, now.month, now.day, now.hour, now.minute, 0, now.weekday});
    return timing;
  }

private:
  ScheduleTexts texts;
  LocalTime now;
  TickMoment moment;
};

void appendKey(std::string &out, const char *key) {
  out += ",\"";
  out += key;
  out += "\":";
}

bool appendText(std::string &out, const char *key, std::string_view bytes) {
  appendKey(out, key);
  return json::appendText(out, bytes);
}

void appendOptional(std::string &out, const char *key, const std::optional<std::string> &text) {
  if (text)
    appendText(out, key, *text);
  else
    appendKey(out, key), out += "null";
}

// A word of our own, which needs no escape.
void appendWord(std::string &out, const char *word) {
  out += '"';
  out += word;
  out += '"';
}

// The exact bytes beside a text that JSON cannot carry as it is.
void appendBytes(std::string &out, const char *key, const char *hexKey, std::string_view bytes) {
  if (!appendText(out, key, bytes)) {
    appendKey(out, hexKey);
    json::appendString(out, json::hex(bytes));
  }
}

// A Run entry's own file. A machine entry's row names the user's file of the same name when
// that replaces or switches it off; its own is then the first machine folder's file of the name
// (the user's folder comes first among the entry folders).
std::string ownFile(const StartupEntry &entry, const StartupState &startup) {
  if (entry.kind != EntryKind::AllUsers || entry.file.empty())
    return entry.file;
  const auto folders = startup.entryFolders();
  const fs::path fileName = fs::path(entry.file).filename();
  for (std::size_t i = 1; i < folders.size(); ++i) {
    const fs::path path = fs::path(folders[i]) / fileName;
    std::error_code error;
    if (fs::exists(fs::symlink_status(path, error)))
      return path.string();
  }
  return entry.file;
}

// What every row of a listing needs, worked out once.
struct RowWriter {
  RowWriter(const LanguageTable &texts, const LocalTime &now)
      : timings(texts, now), labels(texts) {}
  TimingReader timings;
  VerdictLabels labels;
  std::string status; // room for each row's Status, reused
};

const char *wordOfSwitch(LogonSwitch how) {
  switch (how) {
  case LogonSwitch::Enable:
    return "enable";
  case LogonSwitch::Mask:
    return "mask";
  case LogonSwitch::Approved:
    return "approved";
  case LogonSwitch::None:
    break;
  }
  return nullptr;
}

// A row of another way a program starts at logon: the keys every row has, with the same
// meaning, and what its source tells about switching and starting it.
void appendLogonJson(std::string &out, const StartupEntry &entry, RowWriter &writer) {
  const LogonItem &item = *entry.logon;
  out += "{\"kind\":";
  appendWord(out, wordOfLogonKind(item.source));
  appendBytes(out, "name", "name_hex", entry.name);
  appendText(out, "display_name", entry.name);
  appendBytes(out, "command", "command_hex", entry.command);
  appendKey(out, "starts");
  out += entry.verdict == StartVerdict::Starts ? "true" : "false";
  appendKey(out, "reason");
  appendWord(out, reasonCode(entry.verdict));
  statusTextInto(writer.status, entry, writer.labels);
  appendText(out, "status", writer.status);
  if (entry.file.empty())
    appendKey(out, "file"), out += "null";
  else
    appendText(out, "file", entry.file);
  if (item.state.empty())
    appendKey(out, "state"), out += "null";
  else
    appendText(out, "state", item.state);
  appendKey(out, "switch");
  if (const char *how = wordOfSwitch(item.switchBy))
    appendWord(out, how);
  else
    out += "null";
  appendKey(out, "can_start");
  out += item.canStart ? "true" : "false";
  appendKey(out, "all_users");
  out += item.allUsers ? "true" : "false";
  appendKey(out, "system_component");
  out += item.systemComponent ? "true" : "false";
  out += '}';
}

void appendJson(std::string &out, StartupEntry &entry, RowWriter &writer) {
  if (entry.logon)
    return appendLogonJson(out, entry, writer);
  out += "{\"kind\":";
  appendWord(out, wordOfKind(entry.kind));
  appendBytes(out, "name", "name_hex", entry.name);
  appendText(out, "display_name", shownName(entry));
  appendBytes(out, "command", "command_hex", entry.command);
  appendKey(out, "starts");
  out += entry.verdict == StartVerdict::Starts ? "true" : "false";
  appendKey(out, "reason");
  appendWord(out, reasonCode(entry.verdict));
  std::optional<Timing> timing;
  if (entry.kind == EntryKind::Customized)
    timing = writer.timings.of(entry);
  statusTextInto(writer.status, entry, writer.labels);
  appendText(out, "status", writer.status);
  if (timing) {
    appendText(out, "schedule", timing->schedule);
    appendOptional(out, "last_start", timing->lastStart);
    appendOptional(out, "next_start", timing->nextStart);
  } else {
    if (entry.file.empty())
      appendKey(out, "file"), out += "null";
    else
      appendText(out, "file", entry.file);
  }
  out += '}';
}

// A row's cells as the text forms show them; the table names the times in its header.
std::vector<std::string> cellsOf(StartupEntry &entry, RowWriter &writer, Context &context,
                                 bool table) {
  std::optional<Timing> timing;
  if (entry.kind == EntryKind::Customized && !entry.logon)
    timing = writer.timings.of(entry);
  statusTextInto(writer.status, entry, writer.labels);
  const std::string kind = entry.logon ? logonKindLabel(entry.logon->source, context.texts)
                                       : kindLabel(entry.kind, context.texts);
  std::vector<std::string> cells{escapedCell(kind), escapedCell(entry.name),
                                 escapedCell(writer.status), escapedCell(entry.command)};
  if (timing) {
    cells.push_back(escapedCell(timing->schedule));
    cells.push_back((table ? "" : "last start ") + timing->lastStart.value_or("unknown"));
    cells.push_back((table ? "" : "next start ") + timing->nextStart.value_or("none"));
  }
  return cells;
}

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
    if (byte >= 0x20 && byte != 0x7F && c != '\\') {
      out += c;
      continue;
    }
    out += '\\';
    switch (c) {
    case '\\':
      out += '\\';
      break;
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
  if (kind == EntryKind::Customized)
    return {exitSuccess, entry.name + "\n" + entry.command + "\n" + entry.scheduleLine + "\n", {}};
  const std::string file = ownFile(entry, context.platform.startup);
  if (file.empty())
    return {exitSuccess, entry.command + "\n", {}};
  std::error_code error;
  // A special file of that name is never opened: reading a pipe could wait for ever.
  if (!fs::is_regular_file(file, error))
    return {exitFailure, {}, file + ": not a regular file that can be read"};
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in.good() && !in.eof())
    return {exitFailure, {}, file + ": " + std::strerror(errno)};
  return {exitSuccess, bytes.str(), {}};
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
