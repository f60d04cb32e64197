#include "Schedule.h"

#include "support/Toolbox.h"

#include <string_view>

namespace lw {

namespace {

std::string field(const std::string &typed, std::size_t width) {
  return Toolbox::padWithZeros(typed.substr(0, width), width);
}

std::string number(std::string_view text, std::size_t from, std::size_t width) {
  return std::to_string(
      Toolbox::textToInteger(from < text.size() ? text.substr(from, width) : std::string_view()));
}

} // namespace

std::string encodeSchedule(const ScheduleValues &values) {
  std::string text = Toolbox::padWithZeros(std::to_string(values.choice), 2).substr(0, 2);
  text += field(values.minutes, scheduleWidth::minutes);
  text += field(values.hours, scheduleWidth::hours);
  text += field(values.days, scheduleWidth::days);
  text += field(values.weeks, scheduleWidth::weeks);
  text += Toolbox::weekdayDigit(values.weekday);
  text += field(values.dayOfMonth, scheduleWidth::dayOfMonth);
  return text;
}

ScheduleValues decodeSchedule(const std::string &schedule) {
  const std::string_view text = schedule;
  ScheduleValues values;
  values.choice = Toolbox::textToInteger(text.substr(0, 2));
  values.minutes = number(text, 2, 4);
  values.hours = number(text, 6, 4);
  values.days = number(text, 10, 3);
  values.weeks = number(text, 13, 2);
  if (text.size() > 15 && text[15] >= '1' && text[15] <= '7')
    values.weekday = Toolbox::weekdayName(text[15] - '1');
  values.dayOfMonth = number(text, 16, 2);
  return values;
}

} // namespace lw
