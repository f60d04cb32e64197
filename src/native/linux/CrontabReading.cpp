#include "CrontabReading.h"

#include <array>
#include <cstdint>
#include <limits>
#include <span>

namespace lw::crontab {
namespace {

// cron's own tests, in the C locale it reads crontabs in.
bool isBlank(int c) { return c == ' ' || c == '\t'; }
bool isSpace(int c) { return isBlank(c) || (c >= '\n' && c <= '\r'); }
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isAlnum(int c) { return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }

// Whether cron takes the line for a NAME=VALUE setting: a name (quoted, or up to a blank or the
// '='), an '=' with blanks around it, and a value that is either unquoted (its trailing blanks
// dropped) or one quoted string with nothing but blanks after it. Anything else is read as a job.
bool isEnvironmentSetting(std::string_view line) {
  enum State { NameStart, Name, Equals, AfterEquals, ValueStart, Value, Done, Wrong };
  State state = NameStart;
  char quote = 0;
  std::size_t at = 0;
  while (state != Wrong && at < line.size()) {
    const char c = line[at];
    switch (state) {
    case NameStart:
    case ValueStart:
      if (c == '\'' || c == '"') {
        quote = c;
        ++at;
      }
      state = state == NameStart ? Name : Value;
      break;
    case Name:
    case Value:
      if (quote && c == quote) {
        state = state == Name ? Equals : Done;
        ++at;
        break;
      }
      if (state == Name && c == '=') {
        state = quote ? Wrong : Equals; // a quoted name holds no '='; an unquoted one ends here
        break;
      }
      if (state == Name && !quote && isSpace(c))
        state = Equals;
      ++at;
      break;
    case Equals:
      if (c == '=') {
        state = AfterEquals;
        quote = 0;
      } else if (!isSpace(c)) {
        state = Wrong;
      }
      ++at;
      break;
    case AfterEquals:
    case Done:
      if (isSpace(c))
        ++at;
      else
        state = state == Done ? Wrong : ValueStart;
      break;
    case Wrong:
      break;
    }
  }
  return state == Done || (state == Value && !quote);
}

constexpr std::array<const char *, 12> monthNames{"jan", "feb", "mar", "apr", "may", "jun",
                                                  "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<const char *, 7> dayNames{"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

using Names = std::span<const char *const>;

// One line of a job, read character by character as cron reads its file: past the line's end
// the next character is its line break.
class Fields {
public:
  explicit Fields(std::string_view line) : text(line) {}

  int ch() const { return at < text.size() ? static_cast<unsigned char>(text[at]) : '\n'; }
  void next() { at += at < text.size() ? 1 : 0; }
  std::string_view rest() const { return text.substr(at); }
  void skipBlanks() {
    while (isBlank(ch()))
      next();
  }

  // A time field: ranges separated by commas. What follows the last range up to the next blank
  // is passed by, as cron does ("*x" is "*").
  bool list(int low, int high, Names names = {}) {
    for (;;) {
      if (!range(low, high, names))
        return false;
      if (ch() != ',')
        break;
      next();
    }
    while (ch() != '\n' && !isBlank(ch()))
      next();
    skipBlanks();
    return true;
  }

private:
  // "*", "N-M" or a single "N"; the first two may take a "/STEP" above zero. Names where the
  // field has them, in any case. Both ends of a range lie in the field's bounds; a reversed range
  // is empty, not wrong.
  bool range(int low, int high, Names names) {
    int first = low, last = high;
    if (ch() == '*') {
      next();
    } else {
      if (!number(first, low, names))
        return false;
      if (ch() != '-')
        return ch() != '/' && first >= low && first <= high;
      next();
      if (!number(last, low, names) || first < low || first > high || last < low || last > high)
        return false;
    }
    if (ch() != '/')
      return true;
    next();
    int step = 0;
    return number(step, 0, {}) && step > 0;
  }

  // The letters and digits that follow: a name of the field, or digits read as atoi reads them.
  bool number(int &value, int low, Names names) {
    std::string word;
    while (isAlnum(ch())) {
      word += static_cast<char>(ch());
      next();
    }
    if (word.empty())
      return false;
    for (std::size_t i = 0; i < names.size(); ++i)
      if (sameLetters(word, names[i])) {
        value = static_cast<int>(i) + low;
        return true;
      }
    std::int64_t magnitude = 0;
    for (const char digit : word) {
      if (!isDigit(digit))
        return false;
      constexpr auto most = std::numeric_limits<std::int64_t>::max();
      magnitude = magnitude > (most - 9) / 10 ? most : magnitude * 10 + (digit - '0');
    }
    value = static_cast<int>(static_cast<std::uint32_t>(magnitude)); // atoi's overflow
    return true;
  }

  static bool sameLetters(std::string_view word, std::string_view name) {
    if (word.size() != name.size())
      return false;
    for (std::size_t i = 0; i < word.size(); ++i)
      if ((word[i] | 0x20) != name[i])
        return false;
    return true;
  }

  std::string_view text;
  std::size_t at = 0;
};

constexpr std::array<std::string_view, 8> specialTimes{"reboot", "yearly", "annually", "monthly",
                                                       "weekly", "daily",  "midnight", "hourly"};

// A job line: five time fields or one of cron's special times ("@reboot"; lower case only), then
// the command, which is the rest of the line after the blanks. True when cron reads it; the
// command is given when it is an @reboot job.
bool readJob(std::string_view line, std::optional<std::string> &rebootCommand) {
  Fields fields(line);
  if (fields.ch() == '@') {
    fields.next();
    const std::string_view rest = fields.rest();
    const std::string_view word = rest.substr(0, rest.find_first_of(" \t"));
    bool known = false;
    for (const auto time : specialTimes)
      known = known || word == time;
    if (!known)
      return false;
    for (std::size_t i = 0; i < word.size(); ++i)
      fields.next();
    fields.skipBlanks();
    if (word == "reboot")
      rebootCommand = std::string(fields.rest());
    return true;
  }
  return fields.list(0, 59) && fields.list(0, 23) && fields.list(1, 31) &&
         fields.list(1, 12, monthNames) && fields.list(0, 7, dayNames);
}

} // namespace

Reading read(std::string_view crontab) {
  Reading reading;
  std::size_t number = 0;
  while (!crontab.empty()) {
    ++number;
    const std::size_t end = crontab.find('\n');
    const bool terminated = end != std::string_view::npos;
    const std::string_view line = crontab.substr(0, end);
    crontab = terminated ? crontab.substr(end + 1) : std::string_view();
    // Blanks before the first field are passed by; a line that is then empty or starts with '#'
    // is no line at all, even the last one without its line break.
    std::string_view rest = line;
    while (!rest.empty() && isBlank(rest.front()))
      rest.remove_prefix(1);
    if (rest.empty() || rest.front() == '#')
      continue;
    std::optional<std::string> reboot;
    const bool read = isEnvironmentSetting(rest) || readJob(rest, reboot);
    if (reboot)
      reading.reboots.push_back({*reboot, commandRun(*reboot)});
    if (!reading.refused && (!read || !terminated))
      reading.refused = RefusedLine{number, std::string(line), read};
  }
  return reading;
}

std::string commandRun(std::string_view written) {
  std::string command;
  for (std::size_t i = 0; i < written.size(); ++i) {
    const char c = written[i];
    if (c == '\\' && i + 1 < written.size() && (written[i + 1] == '%' || written[i + 1] == '\\'))
      command += written[++i];
    else if (c == '%')
      break;
    else
      command += c;
  }
  return command;
}

} // namespace lw::crontab
