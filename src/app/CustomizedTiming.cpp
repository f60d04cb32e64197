#include "CustomizedTiming.h"

#include <algorithm>

namespace lw {

void describeTimings(std::vector<StartupEntry> &rows, const LocalTime &now,
                     const std::vector<std::string> &startedThisRun, const FailureLookup &failureOf,
                     const LanguageTable &table) {
  const ScheduleTexts texts(table);
  const TickMoment moment = TickMoment::of(now);
  for (auto &row : rows) {
    if (row.kind != EntryKind::Customized)
      continue;
    const bool started =
        std::find(startedThisRun.begin(), startedThisRun.end(), row.name) != startedThisRun.end();
    // The timer passes over an entry that is switched off.
    const NextStart next = nextStart(row.scheduleLine, now, moment, started);
    row.timing = customizedStatusText(row.scheduleLine,
                                      row.verdict == StartVerdict::Disabled ? nullptr : &next,
                                      failureOf ? failureOf(row.name) : nullptr, texts);
  }
}

} // namespace lw
