#include "StartupImpact.h"

#include "scheduler/DueRules.h"
#include "scheduler/NextStart.h"

#include <algorithm>

namespace lw {

namespace {

constexpr std::uint64_t highCpuMs = 1000, mediumCpuMs = 300;
constexpr std::uint64_t highDiskBytes = 3'000'000, mediumDiskBytes = 300'000;

constexpr const char *notRecorded = "no logon has been recorded yet";
constexpr const char *notInLogon = "it was not among the entries that started at that logon";
constexpr const char *atBoot = "it starts at boot, not at logon";
constexpr const char *systemdUnitWord = "systemd-unit";

// The program of a command line: its first word, quotes taken off.
std::string programOf(const std::string &command) {
  std::size_t start = command.find_first_not_of(" \t");
  if (start == std::string::npos)
    return {};
  if (command[start] == '"' || command[start] == '\'') {
    const std::size_t close = command.find(command[start], start + 1);
    return command.substr(start + 1, close == std::string::npos ? close : close - start - 1);
  }
  const std::size_t end = command.find_first_of(" \t", start);
  return command.substr(start, end == std::string::npos ? end : end - start);
}

bool switchedOff(const StartupEntry &row) { return row.verdict == StartVerdict::Disabled; }

} // namespace

const char *impactWord(ImpactLevel level) {
  switch (level) {
  case ImpactLevel::High:
    return "high";
  case ImpactLevel::Medium:
    return "medium";
  case ImpactLevel::Low:
    return "low";
  case ImpactLevel::None:
    return "none";
  case ImpactLevel::NotMeasured:
    break;
  }
  return "not-measured";
}

ImpactLevel impactLevel(std::uint64_t cpuMs, const std::optional<std::uint64_t> &diskBytes) {
  const std::uint64_t disk = diskBytes.value_or(0);
  if (cpuMs > highCpuMs || disk > highDiskBytes)
    return ImpactLevel::High;
  if (cpuMs >= mediumCpuMs || disk >= mediumDiskBytes)
    return ImpactLevel::Medium;
  return ImpactLevel::Low;
}

EntryImpact impactOf(const StartupEntry &row, const LogonRecording *logon) {
  EntryImpact impact;
  if (switchedOff(row)) {
    impact.level = ImpactLevel::None;
    return impact;
  }
  if (!logon) {
    impact.reason = notRecorded;
    return impact;
  }
  impact.sessionStart = logon->sessionStart;
  const std::string kind = kindWordOf(row);
  if (kind == "boot-job") {
    impact.reason = atBoot;
    return impact;
  }
  const auto found = std::ranges::find_if(logon->entries, [&](const EntryCost &cost) {
    return cost.kind == kind && cost.name == row.name;
  });
  if (found == logon->entries.end()) {
    impact.reason = notInLogon;
    return impact;
  }
  impact.cost = *found;
  if (!found->cpuMs) {
    impact.reason = found->reason;
    return impact;
  }
  impact.level = impactLevel(*found->cpuMs, found->diskBytes);
  return impact;
}

std::vector<ImpactTarget> impactTargets(const std::vector<StartupEntry> &rows, const LocalTime &now,
                                        std::int64_t nowUtc) {
  std::vector<ImpactTarget> targets;
  const std::int64_t nowMinute = TickMoment::of(now).nowMinute;
  for (const auto &row : rows) {
    if (switchedOff(row))
      continue;
    ImpactTarget target{kindWordOf(row), row.name, programOf(row.command), {}, row.file, {}};
    // Never started by the program: long before any session.
    if (LocalTime last; row.kind == EntryKind::Customized && !row.logon)
      target.startedByUs =
          lastStartOf(row.scheduleLine, last)
              ? nowUtc - now.second - (nowMinute - lastStartMinute(row.scheduleLine)) * 60
              : 0;
    if (row.logon && target.kind == systemdUnitWord) {
      target.unit = row.name;
      target.file.clear();
    }
    targets.push_back(std::move(target));
  }
  return targets;
}

LogonRecording recordingOf(const std::vector<ImpactTarget> &targets,
                           const ImpactMeasurement &measurement) {
  LogonRecording recording{measurement.sessionStart, {}};
  for (std::size_t i = 0; i < targets.size() && i < measurement.figures.size(); ++i) {
    const ImpactFigures &figures = measurement.figures[i];
    recording.entries.push_back({targets[i].kind, targets[i].name, figures.cpuMs, figures.diskBytes,
                                 figures.startedAfterMs, figures.reason});
  }
  return recording;
}

} // namespace lw
