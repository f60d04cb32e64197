#pragma once

#include "platform/Clock.h"
#include "support/Toolbox.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

// The one moment a timer tick judges every entry against, with the calendar numbers that the
// rules compare with worked out once per tick rather than once per entry.
struct TickMoment {
  TimeStamp now;
  int weekdayDigit = 0; // 1 = Sunday, as stored in a schedule
  std::int64_t today = 0;
  std::int64_t nowMinute = 0;

  static TickMoment of(const LocalTime &time);
};

enum class DueAnswer {
  NotDue,
  Due,
  // Due unless the entry was already started in this run of the program.
  DueOncePerRun,
};

// Whether the line's last start lies after the moment, counted in minutes as the rules count
// them: the clock was set back since that start.
bool lastStartAhead(std::string_view scheduleLine, const TickMoment &moment);

// The line as every rule reads it at this moment: a last start after the moment counts as the
// moment itself, so that an interval is not held back until the clock catches up with it and
// the day, month or year it names is not taken for a new one. The line itself, or one rebuilt
// into `storage`.
std::string_view lineAsOf(std::string_view scheduleLine, const TickMoment &moment,
                          std::string &storage);

// What the rule of the schedule line's kind says at this moment, its last start read as lineAsOf
// reads it. The line is read by position
// and may be of any length: a field that is missing or cut short is compared as it is.
DueAnswer dueAnswer(std::string_view scheduleLine, const TickMoment &moment);

// The line after a start: its schedule, the new last start, then anything that followed the
// old last start.
std::string rebuiltScheduleLine(std::string_view scheduleLine, std::string_view now);

// The day and minute numbers of the line's last start, exactly as the rules count them.
std::int64_t lastStartDay(std::string_view scheduleLine);
std::int64_t lastStartMinute(std::string_view scheduleLine);

} // namespace lw
