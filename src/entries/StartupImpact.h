#pragma once
// What an entry cost at the last logon, as both front ends show it: a level from the recorded
// figures, or Not measured with the reason, or None for an entry that is switched off.

#include "entries/StartupList.h"
#include "platform/ImpactMeter.h"
#include "storage/LogonRecordings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lw {

// In the order a listing by impact shows them, heaviest first.
enum class ImpactLevel { High, Medium, Low, None, NotMeasured };

// "high", "medium", "low", "none", "not-measured".
const char *impactWord(ImpactLevel level);

// High above 1 s of CPU or 3 MB of disk, Medium from 300 ms or 300 KB, Low below both. Disk
// that could not be read leaves the level to the CPU alone.
ImpactLevel impactLevel(std::uint64_t cpuMs, const std::optional<std::uint64_t> &diskBytes);

// The config.ini key that switches the recording at logon off ("0") and on again.
inline constexpr const char *recordImpactKey = "RecordStartupImpact";
// How long after the session's start a recording measures.
inline constexpr std::int64_t recordingSeconds = 60;

struct EntryImpact {
  ImpactLevel level = ImpactLevel::NotMeasured;
  std::optional<EntryCost> cost; // the recorded figures, where the logon has the entry
  std::optional<std::int64_t> sessionStart;
  std::string reason; // of Not measured
};

// The row's impact at the recorded logon (none: nothing has been recorded yet).
EntryImpact impactOf(const StartupEntry &row, const LogonRecording *logon);

// What to measure for rows that start at logon: every row but those switched off. A customized
// row's last start, a local time, is placed against `now` (the local time that `nowUtc`, seconds
// since 1970, is).
std::vector<ImpactTarget> impactTargets(const std::vector<StartupEntry> &rows, const LocalTime &now,
                                        std::int64_t nowUtc);

// The recording of one measurement of those targets.
LogonRecording recordingOf(const std::vector<ImpactTarget> &targets,
                           const ImpactMeasurement &measurement);

} // namespace lw
