// impact: what each entry cost at the last logon, and the recording itself.

#include "Commands.h"
#include "JsonText.h"

#include "entries/LogonRecorder.h"
#include "entries/StartupImpact.h"
#include "storage/LogonRecordings.h"
#include "support/Toolbox.h"

#include <algorithm>

namespace lw::cli {

namespace {

using json::appendKey;
using json::appendWord;

constexpr const char *switchedOffNote =
    "recording is switched off (RecordStartupImpact=0 in config.ini); nothing was recorded";
constexpr const char *nothingRecorded = "no logon has been recorded yet";

std::string recordingsPath(Context &context) {
  return Toolbox(context.platform).userFile(logonRecordingsFileName);
}

void appendNumber(std::string &out, const char *key, const std::optional<std::uint64_t> &value) {
  appendKey(out, key);
  out += value ? std::to_string(*value) : "null";
}

void appendFigures(std::string &out, const std::optional<EntryCost> &cost) {
  appendNumber(out, "cpu_ms", cost ? cost->cpuMs : std::nullopt);
  appendNumber(out, "disk_bytes", cost ? cost->diskBytes : std::nullopt);
  appendNumber(out, "started_after_ms", cost ? cost->startedAfterMs : std::nullopt);
}

std::string figureText(const std::optional<std::uint64_t> &value, const char *unit) {
  return value ? std::to_string(*value) + unit : std::string("-");
}

struct Ranked {
  const StartupEntry *row;
  EntryImpact impact;
};

} // namespace

void appendImpactJson(std::string &out, const EntryImpact &impact) {
  out += "{\"level\":";
  appendWord(out, impactWord(impact.level));
  appendFigures(out, impact.level == ImpactLevel::NotMeasured && impact.cost && !impact.cost->cpuMs
                         ? std::nullopt
                         : impact.cost);
  appendKey(out, "logon");
  if (impact.sessionStart)
    appendWord(out, isoTime(*impact.sessionStart).c_str());
  else
    out += "null";
  if (!impact.reason.empty())
    json::appendText(out, "reason", impact.reason);
  out += '}';
}

const LogonRecording *lastLogon(Context &context, std::vector<LogonRecording> &recordings) {
  recordings = readLogonRecordings(recordingsPath(context));
  return recordings.empty() ? nullptr : &recordings.back();
}

Result recordImpact(Context &context, std::optional<long long> seconds) {
  const auto until = std::chrono::seconds(seconds.value_or(recordingSeconds));
  switch (recordLogon(context.platform, context.texts, context.starterFile, until,
                      seconds && *seconds <= 0)) {
  case RecordingOutcome::Recorded:
    break;
  case RecordingOutcome::SwitchedOff:
    return {exitSuccess, {}, {}, {switchedOffNote}};
  case RecordingOutcome::NoMeter:
    return {exitFailure, {}, "nothing can be measured on this system"};
  }
  return {};
}

Result showImpact(Context &context, bool json, bool logons) {
  Result result;
  std::string &out = result.out;
  std::vector<LogonRecording> recordings;
  const LogonRecording *logon = lastLogon(context, recordings);
  if (logons) {
    out += '[';
    for (std::size_t i = 0; i < recordings.size(); ++i) {
      out += i == 0 ? "\n{\"logon\":" : ",\n{\"logon\":";
      appendWord(out, isoTime(recordings[i].sessionStart).c_str());
      appendKey(out, "entries");
      out += '[';
      for (std::size_t k = 0; k < recordings[i].entries.size(); ++k) {
        const EntryCost &cost = recordings[i].entries[k];
        out += k == 0 ? "{\"kind\":" : ",{\"kind\":";
        json::appendText(out, cost.kind);
        json::appendBytes(out, "name", "name_hex", cost.name);
        appendFigures(out, cost);
        if (!cost.reason.empty())
          json::appendText(out, "reason", cost.reason);
        out += '}';
      }
      out += "]}";
    }
    out += recordings.empty() ? "]\n" : "\n]\n";
    return result;
  }
  Result ignored;
  const std::vector<StartupEntry> rows = rowsNamed(context, std::nullopt, {}, ignored);
  std::vector<Ranked> ranked;
  std::uint64_t cpuTotal = 0, diskTotal = 0;
  for (const auto &row : rows) {
    ranked.push_back({&row, impactOf(row, logon)});
    const auto &cost = ranked.back().impact.cost;
    cpuTotal += cost && cost->cpuMs ? *cost->cpuMs : 0;
    diskTotal += cost && cost->diskBytes ? *cost->diskBytes : 0;
  }
  std::ranges::stable_sort(ranked, [](const Ranked &a, const Ranked &b) {
    if (a.impact.level != b.impact.level)
      return a.impact.level < b.impact.level;
    const auto cpu = [](const Ranked &r) {
      return r.impact.cost && r.impact.cost->cpuMs ? *r.impact.cost->cpuMs : 0;
    };
    return cpu(a) > cpu(b);
  });
  if (json) {
    out += "{\"logon\":";
    if (logon)
      appendWord(out, isoTime(logon->sessionStart).c_str());
    else
      out += "null";
    appendNumber(out, "cpu_ms", logon ? std::optional(cpuTotal) : std::nullopt);
    appendNumber(out, "disk_bytes", logon ? std::optional(diskTotal) : std::nullopt);
    appendKey(out, "entries");
    out += '[';
    for (std::size_t i = 0; i < ranked.size(); ++i) {
      out += i == 0 ? "\n{\"kind\":" : ",\n{\"kind\":";
      json::appendText(out, kindWordOf(*ranked[i].row));
      json::appendBytes(out, "name", "name_hex", ranked[i].row->name);
      appendKey(out, "impact");
      appendImpactJson(out, ranked[i].impact);
      out += '}';
    }
    out += ranked.empty() ? "]}\n" : "\n]}\n";
    return result;
  }
  if (!logon) {
    out = std::string(nothingRecorded) + "\n";
    return result;
  }
  out += "Last logon: " + isoTime(logon->sessionStart) + "\n";
  out += "All entries: " + std::to_string(cpuTotal) + " ms CPU, " + std::to_string(diskTotal) +
         " bytes disk\n";
  std::vector<std::vector<std::string>> cells;
  for (const auto &[row, impact] : ranked) {
    const auto &cost = impact.cost;
    std::vector<std::string> line{impactWord(impact.level), kindWordOf(*row),
                                  escapedCell(row->name)};
    if (impact.level != ImpactLevel::None && cost && cost->cpuMs)
      line.insert(line.end(),
                  {figureText(cost->cpuMs, " ms"), figureText(cost->diskBytes, " bytes"),
                   "after " + figureText(cost->startedAfterMs, " ms")});
    else if (!impact.reason.empty())
      line.push_back(escapedCell(impact.reason));
    cells.push_back(std::move(line));
  }
  out += cellLines(cells, false);
  return result;
}

} // namespace lw::cli
