#include "RowForms.h"

#include "JsonText.h"

#include "entries/LogonRows.h"
#include "scheduler/NextStart.h"

#include <cstdio>

namespace lw::cli {

namespace {

using json::appendBytes;
using json::appendKey;
using json::appendOptional;
using json::appendText;
using json::appendWord;

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
  case StartVerdict::ConditionFails:
    return "condition-fails";
  case StartVerdict::ConditionUnknown:
    return "condition-unknown";
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
  appendWord(out, item.source->word);
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

} // namespace

Timing TimingReader::of(StartupEntry &entry) const {
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

void appendView([[maybe_unused]] std::string &out, [[maybe_unused]] bool view32) {
#ifdef _WIN32
  appendKey(out, "view");
  appendWord(out, view32 ? "32" : "64");
#endif
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
  if (entry.kind == EntryKind::AllUsers)
    appendView(out, entry.view32);
  out += '}';
}

std::vector<std::string> cellsOf(StartupEntry &entry, RowWriter &writer, Context &context,
                                 bool table) {
  std::optional<Timing> timing;
  if (entry.kind == EntryKind::Customized && !entry.logon)
    timing = writer.timings.of(entry);
  statusTextInto(writer.status, entry, writer.labels);
  const std::string kind = entry.logon ? logonKindLabel(entry.logon->source, context.texts)
                                       : kindLabel(entry, context.texts);
  std::vector<std::string> cells{escapedCell(kind), escapedCell(entry.name),
                                 escapedCell(writer.status), escapedCell(entry.command)};
  if (timing) {
    cells.push_back(escapedCell(timing->schedule));
    cells.push_back((table ? "" : "last start ") + timing->lastStart.value_or("unknown"));
    cells.push_back((table ? "" : "next start ") + timing->nextStart.value_or("none"));
  }
  return cells;
}

} // namespace lw::cli
