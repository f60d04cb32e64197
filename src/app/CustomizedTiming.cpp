#include "CustomizedTiming.h"

#include <algorithm>

namespace lw {

void describeTimings(std::vector<StartupEntry> &rows, const LocalTime &now,
                     const std::vector<std::string> &startedThisRun, const FailureLookup &failureOf,
                     const LanguageTable &texts) {
  for (auto &row : rows) {
    if (row.kind != EntryKind::Customized)
      continue;
    const bool started =
        std::find(startedThisRun.begin(), startedThisRun.end(), row.name) != startedThisRun.end();
    // The timer passes over an entry that is switched off.
    const NextStart next = nextStart(row.scheduleLine, now, started);
    row.timing = customizedStatusText(row.scheduleLine,
                                      row.verdict == StartVerdict::Disabled ? nullptr : &next,
                                      failureOf ? failureOf(row.name) : nullptr, texts);
  }
}

} // namespace lw
