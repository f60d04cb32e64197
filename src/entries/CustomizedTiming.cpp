#include "entries/CustomizedTiming.h"

#include <algorithm>

namespace lw {

void describeTiming(StartupEntry &row, const LocalTime &now,
                    const std::vector<std::string> &startedThisRun, const FailureLookup &failureOf,
                    const ScheduleTexts &texts) {
  const bool started =
      std::find(startedThisRun.begin(), startedThisRun.end(), row.name) != startedThisRun.end();
  // The timer passes over an entry that is switched off.
  const NextStart next = nextStart(row.scheduleLine, now, TickMoment::of(now), started);
  const NextStart *shown = row.verdict == StartVerdict::Disabled ? nullptr : &next;
  const StartFailureView *failure = failureOf ? failureOf(row.name) : nullptr;
  row.timing = customizedStatusText(row.scheduleLine, shown, failure, texts);
  row.timingBrief = customizedStatusBrief(shown, failure, texts);
}

void describeTimings(std::vector<StartupEntry> &rows, const LocalTime &now,
                     const std::vector<std::string> &startedThisRun, const FailureLookup &failureOf,
                     const LanguageTable &table) {
  const ScheduleTexts texts(table);
  for (auto &row : rows)
    if (row.kind == EntryKind::Customized)
      describeTiming(row, now, startedThisRun, failureOf, texts);
}

} // namespace lw
