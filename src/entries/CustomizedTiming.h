#pragma once
// When each customized row last started and starts next, for the list's Status. Worked out on
// a refresh and after the timer started something, never on an idle tick.

#include "entries/StartupList.h"
#include "scheduler/ScheduleStatus.h"

#include <functional>
#include <string>
#include <vector>

namespace lw {

// A run's failed start of the named entry, or nothing.
using FailureLookup = std::function<const StartFailureView *(const std::string &name)>;

// Sets `timing` and `timingBrief` of one customized row.
void describeTiming(StartupEntry &row, const LocalTime &now,
                    const std::vector<std::string> &startedThisRun, const FailureLookup &failureOf,
                    const ScheduleTexts &texts);

// Sets `timing` and `timingBrief` of every customized row. startedThisRun names the weekday and
// day-of-month entries already started in this run; failureOf may be empty (no run, as on the
// command line).
void describeTimings(std::vector<StartupEntry> &rows, const LocalTime &now,
                     const std::vector<std::string> &startedThisRun, const FailureLookup &failureOf,
                     const LanguageTable &texts);

} // namespace lw
