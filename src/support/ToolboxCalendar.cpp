#include "Toolbox.h"

#include <array>

namespace lw {

namespace {

constexpr std::array<const char *, 12> monthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

constexpr std::array<const char *, 7> weekdayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};

constexpr std::array<int, 12> monthLengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

std::string twoDigits(int value) { return Toolbox::padWithZeros(std::to_string(value), 2); }

} // namespace

std::string Toolbox::monthName(int month) {
  return month >= 1 && month <= 12 ? monthNames[static_cast<std::size_t>(month - 1)] : "";
}

int Toolbox::monthNumber(std::string_view name) {
  for (std::size_t i = 0; i < monthNames.size(); ++i)
    if (name == monthNames[i])
      return static_cast<int>(i) + 1;
  return 0;
}

std::string Toolbox::weekdayName(int weekday) {
  return weekday >= 0 && weekday <= 6 ? weekdayNames[static_cast<std::size_t>(weekday)] : "";
}

std::string Toolbox::weekdayDigit(std::string_view name) {
  for (std::size_t i = 0; i < weekdayNames.size(); ++i)
    if (name == weekdayNames[i])
      return std::string(1, static_cast<char>('1' + i));
  return "x";
}

std::int32_t Toolbox::dayNumber(std::string_view year, std::string_view month,
                                std::string_view day) {
  // The numbers stay far inside 32 bits for any four-digit year; a damaged year of more
  // digits only has to give some number without overflowing, hence the 64-bit sum.
  const std::int32_t y = textToInteger(year);
  std::int64_t days = 0;
  if (y > 2000) {
    const std::int64_t years = std::int64_t{y} - 2000;
    days = years * 365 + (years + 3) / 4; // 2000, 2004, ... are the leap years before y
  }
  // A damaged month (no month name) counts as no month passed, like January.
  const int m = monthNumber(month);
  for (int each = 1; each < m; ++each)
    days += each == 2 && y % 4 == 0 ? 29 : monthLengths[static_cast<std::size_t>(each - 1)];
  days += textToInteger(day);
  return static_cast<std::int32_t>(days);
}

std::int32_t Toolbox::minuteNumber(std::string_view year, std::string_view month,
                                   std::string_view day, std::string_view hour,
                                   std::string_view minute) {
  const std::int32_t h = textToInteger(hour);
  std::int64_t minutes = static_cast<std::int64_t>(dayNumber(year, month, day)) * 1440;
  if (h > 0)
    minutes += static_cast<std::int64_t>(h) * 60;
  minutes += textToInteger(minute);
  return static_cast<std::int32_t>(minutes);
}

TimeStamp Toolbox::stampOf(const LocalTime &time) {
  return std::to_string(time.year) + twoDigits(time.month) + twoDigits(time.day) +
         twoDigits(time.hour) + twoDigits(time.minute);
}

TimeStamp Toolbox::currentStamp() const { return stampOf(platform->clock.now()); }

} // namespace lw
