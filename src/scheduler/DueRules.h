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

// What the rule of the schedule line's kind says at this moment. The line is read by position
// and may be of any length: a field that is missing or cut short is compared as it is.
DueAnswer dueAnswer(std::string_view scheduleLine, const TickMoment &moment);

// The line after a start: its schedule, the new last start, then anything that followed the
// old last start.
std::string rebuiltScheduleLine(std::string_view scheduleLine, std::string_view now);

// The day and minute numbers of the line's last start, exactly as the rules count them.
std::int64_t lastStartDay(std::string_view scheduleLine);
std::int64_t lastStartMinute(std::string_view scheduleLine);

} // namespace lw
