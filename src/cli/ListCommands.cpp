// The commands that only read: list, check and restore --list.

#include "Commands.h"
#include "JsonText.h"

#include "entries/CustomizedTiming.h"
#include "entries/StartupList.h"
#include "entries/StartupStatus.h"
#include "scheduler/NextStart.h"
#include "scheduler/ScheduleStatus.h"
#include "storage/EntryFormat.h"
#include "storage/Reversal.h"
#include "support/TextNumbers.h"

#include <cstdio>

namespace lw::cli {

namespace {

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

// What every row of a listing needs, worked out once.
struct RowWriter {
  RowWriter(const LanguageTable &texts, const LocalTime &now)
      : timings(texts, now), labels(texts) {}
  TimingReader timings;
  VerdictLabels labels;
  std::string status; // room for each row's Status, reused
};

void appendJson(std::string &out, StartupEntry &entry, RowWriter &writer) {
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

void appendLine(std::string &out, StartupEntry &entry, RowWriter &writer, Context &context) {
  std::optional<Timing> timing;
  if (entry.kind == EntryKind::Customized)
    timing = writer.timings.of(entry);
  statusTextInto(writer.status, entry, writer.labels);
  out += kindLabel(entry.kind, context.texts);
  out += '\t';
  out += entry.name;
  out += '\t';
  out += writer.status;
  out += '\t';
  out += entry.command;
  if (timing) {
    out += '\t';
    out += timing->schedule;
    out += "\tlast start ";
    out += timing->lastStart.value_or("unknown");
    out += "\tnext start ";
    out += timing->nextStart.value_or("none");
  }
  out += '\n';
}

} // namespace

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

Result listEntries(Context &context, bool json) {
  // The Status of a customized row is worked out with its timing, once, not by startupRows.
  Toolbox toolbox(context.platform);
  std::vector<StartupEntry> rows =
      readStartupList(context.platform, toolbox, context.texts, context.starterFile).rows;
  RowWriter writer(context.texts, context.platform.clock.now());
  Result result;
  std::string &out = result.out;
  out.reserve(rows.size() * 256);
  if (json) {
    out += '[';
    for (std::size_t i = 0; i < rows.size(); ++i) {
      out += i == 0 ? "\n" : ",\n";
      appendJson(out, rows[i], writer);
    }
    out += rows.empty() ? "]\n" : "\n]\n";
  } else {
    for (auto &row : rows)
      appendLine(out, row, writer, context);
  }
  return result;
}

Result checkEntries(Context &context, const std::optional<std::string> &name) {
  Result result;
  bool found = false;
  for (const auto &row : startupRows(context, context.platform.clock.now())) {
    if (name && row.name != *name)
      continue;
    found = true;
    result.out += kindLabel(row.kind, context.texts) + " \"" + row.name +
                  "\": " + entryStatus(row, context.texts).reason + "\n";
    if (row.verdict != StartVerdict::Starts)
      result.status = exitFailure;
  }
  if (name && !found)
    return {exitUsage, {}, "there is no startup entry named \"" + *name + "\""};
  return result;
}

Result listBackup(Context &context) {
  EntryStore store(context.platform);
  store.readBackupFile();
  const auto &lines = store.backupLines;
  Result result;
  int number = 0;
  // Numbered as the reversal walk meets them, so that "restore N" answers Yes to the same one.
  for (std::size_t p = 0; p < lines.size(); ++p) {
    if (!beginsRecord(lines[p]) || p + 3 >= lines.size())
      continue;
    result.out += std::to_string(++number) + '\t' + lines[p] + '\t' + lines[p + 1] + '\t' +
                  backupKindLabel(lines[p + 3], context.texts) + '\t' + lines[p + 2] + '\n';
  }
  return result;
}

} // namespace lw::cli
