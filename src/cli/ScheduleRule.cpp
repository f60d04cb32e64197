#include "ScheduleRule.h"

#include <array>
#include <cctype>
#include <string>

namespace lw::cli {

namespace {

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char &c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Digits only, no leading zero, at most `width` of them: the dialog would store them as typed.
std::optional<std::string> number(std::string_view text, std::size_t width) {
  if (text.empty() || text.size() > width || text.front() == '0')
    return std::nullopt;
  for (const char c : text)
    if (c < '0' || c > '9')
      return std::nullopt;
  return std::string(text);
}

ScheduleValues rule(ScheduleKind kind) {
  ScheduleValues values;
  values.choice = static_cast<int>(kind);
  return values;
}

} // namespace

std::optional<ScheduleValues> parseScheduleRule(std::string_view text) {
  const std::string word = lowered(text);
  if (word == "daily")
    return rule(ScheduleKind::OncePerDay);
  if (word == "every-2-days" || word == "every-other-day")
    return rule(ScheduleKind::EveryOtherDay);
  if (word == "weekly")
    return rule(ScheduleKind::OncePerWeek);
  if (word == "monthly")
    return rule(ScheduleKind::OncePerMonth);
  if (word == "yearly")
    return rule(ScheduleKind::OncePerYear);

  const std::string_view view(word);
  if (view.starts_with("every:") && view.size() > 7) {
    const std::string_view amount = view.substr(6, view.size() - 7);
    ScheduleValues values;
    std::optional<std::string> count;
    switch (view.back()) {
    case 'm':
      values = rule(ScheduleKind::EveryMinutes);
      count = number(amount, scheduleWidth::minutes);
      values.minutes = count.value_or("");
      break;
    case 'h':
      values = rule(ScheduleKind::EveryHours);
      count = number(amount, scheduleWidth::hours);
      values.hours = count.value_or("");
      break;
    case 'd':
      values = rule(ScheduleKind::EveryDays);
      count = number(amount, scheduleWidth::days);
      values.days = count.value_or("");
      break;
    case 'w':
      values = rule(ScheduleKind::EveryWeeks);
      count = number(amount, scheduleWidth::weeks);
      values.weeks = count.value_or("");
      break;
    default:
      return std::nullopt;
    }
    if (!count)
      return std::nullopt;
    return values;
  }
  if (view.starts_with("weekday:")) {
    static constexpr std::array names = {"sunday",   "monday", "tuesday", "wednesday",
                                         "thursday", "friday", "saturday"};
    const std::string_view day = view.substr(8);
    for (const std::string_view name : names) {
      // The full name or its first three letters.
      if (day == name || (day.size() == 3 && name.starts_with(day))) {
        ScheduleValues values = rule(ScheduleKind::OnWeekday);
        values.weekday = std::string(name);
        values.weekday.front() = static_cast<char>(std::toupper(values.weekday.front()));
        return values;
      }
    }
    return std::nullopt;
  }
  if (view.starts_with("monthday:")) {
    const auto day = number(view.substr(9), scheduleWidth::dayOfMonth);
    if (!day || std::stoi(*day) > 31)
      return std::nullopt;
    ScheduleValues values = rule(ScheduleKind::OnDayOfMonth);
    values.dayOfMonth = *day;
    return values;
  }
  return std::nullopt;
}

} // namespace lw::cli
