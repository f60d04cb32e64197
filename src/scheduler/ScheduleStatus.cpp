#include "ScheduleStatus.h"

#include "Schedule.h"
#include "support/TextNumbers.h"
#include "support/Toolbox.h"

namespace lw {

namespace {

std::string_view field(std::string_view text, std::size_t pos, std::size_t count) {
  return pos >= text.size() ? std::string_view() : text.substr(pos, count);
}

void appendTwoDigits(std::string &out, int value) {
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
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

ScheduleTexts::ScheduleTexts(const LanguageTable &table) {
  for (std::int32_t number = text::firstScheduleLabel; number <= text::firstScheduleLabel + 50;
       number += 5)
    labels.push_back(table.getText(number));
  for (std::int32_t number = 750; number <= 789; ++number)
    own.push_back(table.getText(number));
}

const std::string &ScheduleTexts::get(std::int32_t number) const {
  if (number >= 750 && number <= 789)
    return own[static_cast<std::size_t>(number - 750)];
  const std::int32_t label = number - text::firstScheduleLabel;
  if (label >= 0 && label <= 50 && label % 5 == 0)
    return labels[static_cast<std::size_t>(label / 5)];
  return none;
}

std::string fillIn(std::string_view text, const std::vector<std::string> &values) {
  std::string filled;
  filled.reserve(text.size() + 32);
  std::size_t next = 0;
  std::size_t from = 0;
  for (std::size_t at; next < values.size() && (at = text.find("%s", from)) != text.npos;
       from = at + 2) {
    filled.append(text, from, at - from);
    filled += values[next++];
  }
  filled.append(text, from);
  return filled;
}

std::string timeText(const LocalTime &time, bool withTime, const ScheduleTexts &texts) {
  std::string_view format = texts.get(withTime ? text::dateTimeFormat : text::dateFormat);
  if (format.empty())
    format = withTime ? "%Y-%m-%d %H:%M" : "%Y-%m-%d";
  std::string out;
  out.reserve(format.size() + 8);
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
      appendTwoDigits(out, time.month);
      break;
    case 'd':
      appendTwoDigits(out, time.day);
      break;
    case 'H':
      appendTwoDigits(out, time.hour);
      break;
    case 'M':
      appendTwoDigits(out, time.minute);
      break;
    default:
      out += '%';
      out += format[i];
    }
  }
  return out;
}

std::string ruleInWords(std::string_view line, const ScheduleTexts &texts) {
  const auto kind = Toolbox::textToInteger(field(line, 0, 2));
  if (kind < 0 || kind > static_cast<int>(ScheduleKind::OnDayOfMonth))
    return {};
  std::string label = texts.get(text::firstScheduleLabel + 5 * kind);
  const auto numberOf = [&](std::size_t pos, std::size_t count) {
    return std::to_string(Toolbox::textToInteger(field(line, pos, count)));
  };
  // "Every 1 minutes" reads wrong: a count of one has a label of its own, where the language
  // file has it.
  const auto every = [&](int step, std::size_t pos, std::size_t count) {
    const std::string number = numberOf(pos, count);
    const std::string &one = texts.get(text::firstEveryOne + step);
    if (number == "1" && !one.empty())
      return one;
    return withValue(std::move(label), "...", number);
  };
  switch (static_cast<ScheduleKind>(kind)) {
  case ScheduleKind::EveryMinutes:
    return every(0, 2, 4);
  case ScheduleKind::EveryHours:
    return every(1, 6, 4);
  case ScheduleKind::EveryDays:
    return every(2, 10, 3);
  case ScheduleKind::EveryWeeks:
    return every(3, 13, 2);
  case ScheduleKind::OnWeekday: {
    const auto digit = Toolbox::textToInteger(field(line, 15, 1));
    if (digit < 1 || digit > 7)
      return label;
    return withValue(std::move(label), "...", texts.get(text::firstWeekday + digit - 1));
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

std::string problemText(StartProblem problem, const ScheduleTexts &texts) {
  switch (problem) {
  case StartProblem::ProgramNotFound:
    return texts.get(text::problemNotFound);
  case StartProblem::NotExecutable:
    return texts.get(text::problemNotExecutable);
  case StartProblem::PermissionDenied:
    return texts.get(text::problemPermission);
  case StartProblem::NoOpener:
    return texts.get(text::problemNoOpener);
  case StartProblem::None:
  case StartProblem::Other:
    break;
  }
  return texts.get(text::problemOther);
}

std::string nextStartText(const NextStart &next, const ScheduleTexts &texts) {
  switch (next.when) {
  case NextStart::When::Now:
    return texts.get(text::nextStartNow);
  case NextStart::When::At:
    return fillIn(texts.get(text::nextStart), {timeText(next.at, true, texts)});
  case NextStart::When::LaterRun:
    return fillIn(texts.get(text::nextStartLaterRun), {timeText(next.at, false, texts)});
  case NextStart::When::Never:
    break;
  }
  const std::int32_t why = next.why == NextStart::Never::NoWeekday   ? text::neverNoWeekday
                           : next.why == NextStart::Never::NoSuchDay ? text::neverNoSuchDay
                                                                     : text::neverUnknownRule;
  return fillIn(texts.get(text::neverStarts), {texts.get(why)});
}

namespace {

void appendPart(std::string &status, const std::string &part) {
  if (part.empty())
    return;
  if (!status.empty())
    status += "; ";
  status += part;
}

} // namespace

std::string customizedStatusBrief(const NextStart *next, const StartFailureView *failure,
                                  const ScheduleTexts &texts) {
  std::string status;
  if (failure)
    appendPart(status, fillIn(texts.get(text::lastStartFailed),
                              {timeText(failure->at, true, texts),
                               problemText(problemOfCode(failure->reason), texts)}));
  if (next)
    appendPart(status, nextStartText(*next, texts));
  return status;
}

std::string customizedStatusText(std::string_view line, const NextStart *next,
                                 const StartFailureView *failure, const ScheduleTexts &texts) {
  std::string status = ruleInWords(line, texts);
  LocalTime last;
  appendPart(status, lastStartOf(line, last)
                         ? fillIn(texts.get(text::lastStart), {timeText(last, true, texts)})
                         : texts.get(text::lastStartUnknown));
  appendPart(status, customizedStatusBrief(next, failure, texts));
  return status;
}

} // namespace lw
