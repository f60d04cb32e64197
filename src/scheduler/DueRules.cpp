#include "DueRules.h"

#include "Schedule.h"

#include <array>

namespace lw {

namespace {

// Positions in a schedule line: the schedule, then the last start as a time stamp.
constexpr std::size_t lastStartAt = scheduleLength;
constexpr std::size_t lineLength = scheduleLength + 12;

// Characters [pos, pos + count) of a text, cut short at its end; empty past the end.
std::string_view field(std::string_view text, std::size_t pos, std::size_t count) {
  return pos >= text.size() ? std::string_view() : text.substr(pos, count);
}

std::int64_t number(std::string_view digits) { return Toolbox::textToInteger(digits); }

// The name of the month that two stored digits give, as the calendar's day count expects it;
// empty when the digits are no month. The names are borrowed once from the Toolbox so that no
// tick builds a text for every entry.
std::string_view monthNameOf(std::string_view digits) {
  static const std::array<std::string, 13> names = [] {
    std::array<std::string, 13> all;
    for (int month = 0; month < 13; ++month)
      all[static_cast<std::size_t>(month)] = Toolbox::monthName(month);
    return all;
  }();
  const auto month = Toolbox::textToInteger(digits);
  return month >= 1 && month <= 12 ? names[static_cast<std::size_t>(month)] : names[0];
}

// Day and minute numbers of a time stamp that starts at `at` in `text`. The minute number is
// built here in 64 bits: a last start typed by hand far in the future would otherwise wrap
// around and make an interval entry due on every tick.
std::int64_t dayOf(std::string_view text, std::size_t at) {
  return Toolbox::dayNumber(field(text, at, 4), monthNameOf(field(text, at + 4, 2)),
                            field(text, at + 6, 2));
}

std::int64_t minuteOf(std::string_view text, std::size_t at) {
  const std::int64_t hour = number(field(text, at + 8, 2));
  return dayOf(text, at) * 1440 + (hour > 0 ? hour * 60 : 0) + number(field(text, at + 10, 2));
}

} // namespace

TickMoment TickMoment::of(const LocalTime &time) {
  TickMoment moment;
  moment.now = Toolbox::stampOf(time);
  moment.weekdayDigit = time.weekday + 1;
  moment.today = dayOf(moment.now, 0);
  moment.nowMinute = minuteOf(moment.now, 0);
  return moment;
}

bool lastStartAhead(std::string_view line, const TickMoment &moment) {
  return minuteOf(line, lastStartAt) > moment.nowMinute;
}

std::string_view lineAsOf(std::string_view line, const TickMoment &moment, std::string &storage) {
  if (!lastStartAhead(line, moment))
    return line;
  storage = rebuiltScheduleLine(line, moment.now);
  return storage;
}

DueAnswer dueAnswer(std::string_view scheduleLine, const TickMoment &moment) {
  std::string clamped; // stays empty, without an allocation, unless the clock was set back
  const std::string_view line = lineAsOf(scheduleLine, moment, clamped);
  const std::string_view now = moment.now;
  // Every "A > B + x - 1" of the rules, asked as A - B >= x so that nothing can overflow.
  const auto daysPassed = [&](std::int64_t atLeast) {
    return moment.today - dayOf(line, lastStartAt) >= atLeast;
  };
  const auto minutesPassed = [&](std::int64_t atLeast) {
    return moment.nowMinute - minuteOf(line, lastStartAt) >= atLeast;
  };
  bool due = false;
  switch (Toolbox::textToInteger(field(line, 0, 2))) {
  case static_cast<int>(ScheduleKind::OncePerDay):
    due = field(line, lastStartAt, 8) != field(now, 0, 8);
    break;
  case static_cast<int>(ScheduleKind::EveryOtherDay):
    due = daysPassed(2);
    break;
  case static_cast<int>(ScheduleKind::OncePerWeek):
    due = daysPassed(7);
    break;
  case static_cast<int>(ScheduleKind::OncePerMonth):
    due = field(line, lastStartAt + 4, 2) != field(now, 4, 2);
    break;
  case static_cast<int>(ScheduleKind::OncePerYear):
    due = field(line, lastStartAt, 4) != field(now, 0, 4);
    break;
  case static_cast<int>(ScheduleKind::EveryMinutes):
    due = minutesPassed(number(field(line, 2, 4)));
    break;
  case static_cast<int>(ScheduleKind::EveryHours):
    due = minutesPassed(60 * number(field(line, 6, 4)));
    break;
  case static_cast<int>(ScheduleKind::EveryDays):
    due = daysPassed(number(field(line, 10, 3)));
    break;
  case static_cast<int>(ScheduleKind::EveryWeeks):
    due = daysPassed(7 * number(field(line, 13, 2)));
    break;
  case static_cast<int>(ScheduleKind::OnWeekday):
    return number(field(line, 15, 1)) == moment.weekdayDigit ? DueAnswer::DueOncePerRun
                                                             : DueAnswer::NotDue;
  case static_cast<int>(ScheduleKind::OnDayOfMonth):
    return field(line, 16, 2) == field(now, 6, 2) ? DueAnswer::DueOncePerRun : DueAnswer::NotDue;
  default:
    break;
  }
  return due ? DueAnswer::Due : DueAnswer::NotDue;
}

std::string rebuiltScheduleLine(std::string_view line, std::string_view now) {
  std::string rebuilt(field(line, 0, scheduleLength));
  rebuilt += now;
  rebuilt += field(line, lineLength, std::string_view::npos);
  return rebuilt;
}

std::int64_t lastStartDay(std::string_view line) { return dayOf(line, lastStartAt); }

std::int64_t lastStartMinute(std::string_view line) { return minuteOf(line, lastStartAt); }

} // namespace lw
