#include "NextStart.h"

#include "DueRules.h"
#include "Schedule.h"
#include "support/Toolbox.h"

#include <array>

namespace lw {

namespace {

constexpr std::array<int, 12> monthLengths = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The scheduler's calendar: every fourth year is a leap year, 2100 included.
int monthLength(int year, int month) {
  return month == 2 && year % 4 == 0 ? 29 : monthLengths[static_cast<std::size_t>(month - 1)];
}

std::string_view field(std::string_view text, std::size_t pos, std::size_t count) {
  return pos >= text.size() ? std::string_view() : text.substr(pos, count);
}

std::int64_t number(std::string_view digits) { return Toolbox::textToInteger(digits); }

bool allDigits(std::string_view text) {
  for (const char c : text)
    if (c < '0' || c > '9')
      return false;
  return true;
}

// The first day after `today` (a real date with day number `todayNumber`) whose day of the
// month is `day`, 1 to 31; every year has months of 31 days, so there always is one.
std::int64_t nextDayOfMonth(const LocalTime &today, std::int64_t todayNumber, int day) {
  int year = today.year;
  int month = today.month;
  std::int64_t ahead = -today.day; // day number offset of day 0 of the current month
  if (day <= today.day || day > monthLength(year, month)) {
    do {
      ahead += monthLength(year, month);
      month = month == 12 ? 1 : month + 1;
      year += month == 1 ? 1 : 0;
    } while (day > monthLength(year, month));
  }
  return todayNumber + ahead + day;
}

LocalTime firstOfMonth(int year, int month) {
  std::int64_t days = 0;
  for (int y = 2000; y < year; ++y)
    days += y % 4 == 0 ? 366 : 365;
  for (int m = 1; m < month; ++m)
    days += monthLength(year, m);
  return dateOfDay(days + 1);
}

} // namespace

LocalTime dateOfDay(std::int64_t day) {
  std::int64_t rest = day < 1 ? 0 : day - 1;
  LocalTime date;
  date.hour = date.minute = date.second = 0;
  date.weekday = static_cast<int>((6 + rest) % 7); // 1 January 2000 was a Saturday
  // Four years are always 1461 days here, leap year first.
  int year = 2000 + static_cast<int>(rest / 1461) * 4;
  rest %= 1461;
  while (rest >= (year % 4 == 0 ? 366 : 365)) {
    rest -= year % 4 == 0 ? 366 : 365;
    ++year;
  }
  int month = 1;
  while (rest >= monthLength(year, month)) {
    rest -= monthLength(year, month);
    ++month;
  }
  date.year = year;
  date.month = month;
  date.day = static_cast<int>(rest) + 1;
  return date;
}

LocalTime timeOfMinute(std::int64_t minute) {
  if (minute < 0)
    minute = 0;
  LocalTime time = dateOfDay(minute / 1440);
  time.hour = static_cast<int>(minute % 1440 / 60);
  time.minute = static_cast<int>(minute % 60);
  return time;
}

bool lastStartOf(std::string_view line, LocalTime &lastStart) {
  const std::string_view stamp = field(line, scheduleLength, 12);
  if (stamp.size() != 12 || !allDigits(stamp))
    return false;
  const auto at = [&](std::size_t pos, std::size_t count) {
    return static_cast<int>(number(stamp.substr(pos, count)));
  };
  LocalTime time{at(0, 4), at(4, 2), at(6, 2), at(8, 2), at(10, 2), 0, 0};
  if (time.month < 1 || time.month > 12 || time.day < 1 ||
      time.day > monthLength(time.year, time.month) || time.hour > 23 || time.minute > 59)
    return false;
  lastStart = time;
  return true;
}

std::optional<NextStart::Never> neverDue(std::string_view line) {
  const auto kind = number(field(line, 0, 2));
  if (kind < 0 || kind > static_cast<int>(ScheduleKind::OnDayOfMonth))
    return NextStart::Never::UnknownRule;
  // The weekday is compared as a number, the day of the month as the two characters of a date.
  const auto weekday = number(field(line, 15, 1));
  if (kind == static_cast<int>(ScheduleKind::OnWeekday) && (weekday < 1 || weekday > 7))
    return NextStart::Never::NoWeekday;
  const std::string_view dayOfMonth = field(line, 16, 2);
  if (kind == static_cast<int>(ScheduleKind::OnDayOfMonth) &&
      (dayOfMonth.size() != 2 || !allDigits(dayOfMonth) || number(dayOfMonth) < 1 ||
       number(dayOfMonth) > 31))
    return NextStart::Never::NoSuchDay;
  return std::nullopt;
}

NextStart nextStart(std::string_view line, const LocalTime &now, bool startedThisRun) {
  return nextStart(line, now, TickMoment::of(now), startedThisRun);
}

NextStart nextStart(std::string_view scheduleLine, const LocalTime &now, const TickMoment &moment,
                    bool startedThisRun) {
  // The intervals below count from the last start as the rules read it.
  std::string clamped;
  const std::string_view line = lineAsOf(scheduleLine, moment, clamped);
  NextStart next;
  if (const auto why = neverDue(line)) {
    next.when = NextStart::When::Never;
    next.why = *why;
    return next;
  }
  const auto kind = number(field(line, 0, 2));
  const auto weekday = number(field(line, 15, 1));
  const std::string_view dayOfMonth = field(line, 16, 2);

  const DueAnswer answer = dueAnswer(line, moment);
  if (answer == DueAnswer::Due || (answer == DueAnswer::DueOncePerRun && !startedThisRun))
    return next;

  // Not due now: each rule's first due tick from here on.
  next.when = NextStart::When::At;
  const auto daysAfterLastStart = [&](std::int64_t days) {
    next.at = dateOfDay(lastStartDay(line) + days);
  };
  const auto minutesAfterLastStart = [&](std::int64_t minutes) {
    next.at = timeOfMinute(lastStartMinute(line) + minutes);
  };
  switch (static_cast<ScheduleKind>(kind)) {
  case ScheduleKind::OncePerDay: // the stored date is today's
    next.at = dateOfDay(moment.today + 1);
    break;
  case ScheduleKind::EveryOtherDay:
    daysAfterLastStart(2);
    break;
  case ScheduleKind::OncePerWeek:
    daysAfterLastStart(7);
    break;
  case ScheduleKind::OncePerMonth: // the stored month digits are this month's
    next.at =
        now.month == 12 ? firstOfMonth(now.year + 1, 1) : firstOfMonth(now.year, now.month + 1);
    break;
  case ScheduleKind::OncePerYear:
    next.at = firstOfMonth(now.year + 1, 1);
    break;
  case ScheduleKind::EveryMinutes:
    minutesAfterLastStart(number(field(line, 2, 4)));
    break;
  case ScheduleKind::EveryHours:
    minutesAfterLastStart(60 * number(field(line, 6, 4)));
    break;
  case ScheduleKind::EveryDays:
    daysAfterLastStart(number(field(line, 10, 3)));
    break;
  case ScheduleKind::EveryWeeks:
    daysAfterLastStart(7 * number(field(line, 13, 2)));
    break;
  case ScheduleKind::OnWeekday: {
    const std::int64_t ahead = (weekday - moment.weekdayDigit + 7) % 7;
    next.at = dateOfDay(moment.today + (ahead == 0 ? 7 : ahead));
    next.when = startedThisRun ? NextStart::When::LaterRun : NextStart::When::At;
    break;
  }
  case ScheduleKind::OnDayOfMonth:
    next.at = dateOfDay(nextDayOfMonth(now, moment.today, static_cast<int>(number(dayOfMonth))));
    next.when = startedThisRun ? NextStart::When::LaterRun : NextStart::When::At;
    break;
  }
  return next;
}

} // namespace lw
