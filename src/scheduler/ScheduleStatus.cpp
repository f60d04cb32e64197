#include "ScheduleStatus.h"

#include "Schedule.h"
#include "support/TextNumbers.h"
#include "support/Toolbox.h"

namespace lw {

namespace {

std::string_view field(std::string_view text, std::size_t pos, std::size_t count) {
  return pos >= text.size() ? std::string_view() : text.substr(pos, count);
}

std::string twoDigits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) +
         static_cast<char>('0' + value % 10);
}

// Replaces the label's placeholder, or adds the value behind a label that has none (a language
// file of the user's own).
std::string withValue(std::string label, std::string_view placeholder, const std::string &value) {
  const auto at = label.find(placeholder);
  if (at == std::string::npos)
    return label + " " + value;
  return label.replace(at, placeholder.size(), value);
}

} // namespace

std::string fillIn(std::string_view text, const std::vector<std::string> &values) {
  std::string filled;
  std::size_t next = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && next < values.size()) {
      filled += values[next++];
      ++i;
    } else {
      filled += text[i];
    }
  }
  return filled;
}

std::string timeText(const LocalTime &time, bool withTime, const LanguageTable &texts) {
  std::string format = texts.getText(withTime ? text::dateTimeFormat : text::dateFormat);
  if (format.empty())
    format = withTime ? "%Y-%m-%d %H:%M" : "%Y-%m-%d";
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 == format.size()) {
      out += format[i];
      continue;
    }
    switch (format[++i]) {
    case 'Y':
      out += std::to_string(time.year);
      break;
    case 'm':
      out += twoDigits(time.month);
      break;
    case 'd':
      out += twoDigits(time.day);
      break;
    case 'H':
      out += twoDigits(time.hour);
      break;
    case 'M':
      out += twoDigits(time.minute);
      break;
    default:
      out += '%';
      out += format[i];
    }
  }
  return out;
}

std::string ruleInWords(std::string_view line, const LanguageTable &texts) {
  const auto kind = Toolbox::textToInteger(field(line, 0, 2));
  if (kind < 0 || kind > static_cast<int>(ScheduleKind::OnDayOfMonth))
    return {};
  std::string label = texts.getText(text::firstScheduleLabel + 5 * kind);
  const auto numberOf = [&](std::size_t pos, std::size_t count) {
    return std::to_string(Toolbox::textToInteger(field(line, pos, count)));
  };
  switch (static_cast<ScheduleKind>(kind)) {
  case ScheduleKind::EveryMinutes:
    return withValue(std::move(label), "...", numberOf(2, 4));
  case ScheduleKind::EveryHours:
    return withValue(std::move(label), "...", numberOf(6, 4));
  case ScheduleKind::EveryDays:
    return withValue(std::move(label), "...", numberOf(10, 3));
  case ScheduleKind::EveryWeeks:
    return withValue(std::move(label), "...", numberOf(13, 2));
  case ScheduleKind::OnWeekday: {
    const auto digit = Toolbox::textToInteger(field(line, 15, 1));
    if (digit < 1 || digit > 7)
      return label;
    return withValue(std::move(label), "...", texts.getText(text::firstWeekday + digit - 1));
  }
  case ScheduleKind::OnDayOfMonth: {
    // Shown as stored, so that a day that can never match does not look like one that can.
    std::string day(field(line, 16, 2));
    if (day.size() == 2 && day[0] == '0' && day[1] >= '1' && day[1] <= '9')
      day.erase(0, 1);
    return withValue(std::move(label), "x.", day + ".");
  }
  default:
    return label;
  }
}

std::string problemText(StartProblem problem, const LanguageTable &texts) {
  switch (problem) {
  case StartProblem::ProgramNotFound:
    return texts.getText(text::problemNotFound);
  case StartProblem::NotExecutable:
    return texts.getText(text::problemNotExecutable);
  case StartProblem::PermissionDenied:
    return texts.getText(text::problemPermission);
  case StartProblem::None:
  case StartProblem::Other:
    break;
  }
  return texts.getText(text::problemOther);
}

std::string nextStartText(const NextStart &next, const LanguageTable &texts) {
  switch (next.when) {
  case NextStart::When::Now:
    return texts.getText(text::nextStartNow);
  case NextStart::When::At:
    return fillIn(texts.getText(text::nextStart), {timeText(next.at, true, texts)});
  case NextStart::When::LaterRun:
    return fillIn(texts.getText(text::nextStartLaterRun), {timeText(next.at, false, texts)});
  case NextStart::When::Never:
    break;
  }
  const std::int32_t why = next.why == NextStart::Never::NoWeekday   ? text::neverNoWeekday
                           : next.why == NextStart::Never::NoSuchDay ? text::neverNoSuchDay
                                                                     : text::neverUnknownRule;
  return fillIn(texts.getText(text::neverStarts), {texts.getText(why)});
}

std::string customizedStatusText(std::string_view line, const NextStart *next,
                                 const StartFailureView *failure, const LanguageTable &texts) {
  std::string status = ruleInWords(line, texts);
  const auto append = [&status](const std::string &part) {
    if (!status.empty())
      status += "; ";
    status += part;
  };
  LocalTime last;
  append(lastStartOf(line, last)
             ? fillIn(texts.getText(text::lastStart), {timeText(last, true, texts)})
             : texts.getText(text::lastStartUnknown));
  if (failure)
    append(fillIn(
        texts.getText(text::lastStartFailed),
        {timeText(failure->at, true, texts), problemText(problemOfCode(failure->reason), texts)}));
  if (next)
    append(nextStartText(*next, texts));
  return status;
}

} // namespace lw
