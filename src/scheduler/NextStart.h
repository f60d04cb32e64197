#pragma once
// When the timer will next start a customized entry, worked out from its rule in closed form
// rather than by trying moments: cheap enough for every row of a refresh, and never asked on
// an idle tick.

#include "DueRules.h"
#include "platform/Clock.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace lw {

struct NextStart {
  enum class When {
    Now,      // due: the next tick starts it
    At,       // the first tick at or after `at` (to the minute)
    LaterRun, // a once-per-run rule already used in this run: on `at`'s day, in a later run
    Never,
  };
  // Why a rule can never be due.
  enum class Never { None, UnknownRule, NoWeekday, NoSuchDay };

  When when = When::Now;
  LocalTime at; // seconds always 0
  Never why = Never::None;
};

// Why the schedule line's rule can never be due, or nothing when it can: the line alone decides,
// without the clock, so that a refresh can judge every row without working out its timings.
// nextStart says When::Never exactly for these lines, with the same reason.
std::optional<NextStart::Never> neverDue(std::string_view scheduleLine);

// `startedThisRun` tells whether the entry is among the weekday and day-of-month entries the
// timer has already started in this run of the program.
NextStart nextStart(std::string_view scheduleLine, const LocalTime &now, bool startedThisRun);
// The same with the moment of `now` worked out once for many entries.
NextStart nextStart(std::string_view scheduleLine, const LocalTime &now, const TickMoment &moment,
                    bool startedThisRun);

// The day with the given number in the scheduler's calendar (1 is 1 January 2000, every year
// divisible by 4 a leap year), at midnight, with its weekday. Numbers below 1 give day 1.
LocalTime dateOfDay(std::int64_t day);

// The moment of a minute number (a day number times 1440 plus the minutes of the day).
LocalTime timeOfMinute(std::int64_t minute);

// The last start stored in a schedule line (without its weekday); false when it is missing or
// no real time.
bool lastStartOf(std::string_view scheduleLine, LocalTime &lastStart);

} // namespace lw
