#pragma once

#include <string>

namespace lw {

// The start rule of a customized entry, stored as 18 characters: kind (2), minutes (4),
// hours (4), days (3), weeks (2), weekday digit (1), day of month (2).
enum class ScheduleKind {
  OncePerDay = 0,
  EveryOtherDay = 1,
  OncePerWeek = 2,
  OncePerMonth = 3,
  OncePerYear = 4,
  EveryMinutes = 5,
  EveryHours = 6,
  EveryDays = 7,
  EveryWeeks = 8,
  OnWeekday = 9,
  OnDayOfMonth = 10,
};

inline constexpr std::size_t scheduleLength = 18;

// Field widths of the stored text; the entry dialog limits its edits to the same widths.
namespace scheduleWidth {
inline constexpr std::size_t minutes = 4;
inline constexpr std::size_t hours = 4;
inline constexpr std::size_t days = 3;
inline constexpr std::size_t weeks = 2;
inline constexpr std::size_t dayOfMonth = 2;
} // namespace scheduleWidth

// The entry dialog's schedule values: the chosen radio button (0 to 10) and the texts of the
// number edits and the weekday combo box, as the user typed them.
struct ScheduleValues {
  int choice = 0;
  std::string minutes;
  std::string hours;
  std::string days;
  std::string weeks;
  std::string weekday;
  std::string dayOfMonth;

  bool operator==(const ScheduleValues &) const = default;
};

// Always 18 characters: a field longer than its width is cut to the width, as the dialog's
// edits would, so that it can never shift the fields behind it.
std::string encodeSchedule(const ScheduleValues &values);

// Reads the first 18 characters of a stored schedule line (what follows is ignored); numbers
// come back without leading zeros, the weekday as its English name or empty.
ScheduleValues decodeSchedule(const std::string &schedule);

} // namespace lw
