#include "LogonRecordings.h"

#include "support/FileError.h"
#include "support/TextFile.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace lw {

namespace {

constexpr const char *header = "Launchwright logon recordings 1";
constexpr std::string_view logonWord = "logon";
constexpr std::string_view entryWord = "entry";
constexpr char absent = '-';

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    parts.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos)
      return parts;
    start = tab + 1;
  }
}

template <typename Number> std::optional<Number> number(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    return std::nullopt;
  return value;
}

// A name is any bytes, a tab or a line end among them: kept as hex.
std::string hexOf(std::string_view bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::optional<std::string> bytesOfHex(std::string_view hex) {
  if (hex.size() % 2 != 0)
    return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
    if (error != std::errc() || end != hex.data() + i + 2)
      return std::nullopt;
    out += static_cast<char>(value);
  }
  return out;
}

std::string figure(const std::optional<std::uint64_t> &value) {
  return value ? std::to_string(*value) : std::string(1, absent);
}

// A figure that is there, absent, or damage.
bool readFigure(std::string_view text, std::optional<std::uint64_t> &into) {
  if (text.size() == 1 && text[0] == absent)
    return true;
  into = number<std::uint64_t>(text);
  return into.has_value();
}

std::string oneLine(std::string text) {
  for (char &c : text)
    if (c == '\t' || c == '\r' || c == '\n')
      c = ' ';
  return text;
}

std::optional<EntryCost> entryOf(const std::vector<std::string_view> &parts) {
  if (parts.size() != 7)
    return std::nullopt;
  EntryCost cost;
  cost.kind = parts[1];
  const auto name = bytesOfHex(parts[2]);
  if (!name || !readFigure(parts[3], cost.cpuMs) || !readFigure(parts[4], cost.diskBytes) ||
      !readFigure(parts[5], cost.startedAfterMs))
    return std::nullopt;
  cost.name = *name;
  cost.reason = parts[6];
  return cost;
}

std::vector<LogonRecording> parse(const std::vector<std::string> &lines) {
  std::vector<LogonRecording> recordings;
  for (const auto &line : lines) {
    const auto parts = fields(line);
    if (parts[0] == logonWord && parts.size() == 2) {
      if (const auto start = number<std::int64_t>(parts[1]))
        recordings.push_back({*start, {}});
    } else if (parts[0] == entryWord && !recordings.empty()) {
      if (auto cost = entryOf(parts))
        recordings.back().entries.push_back(std::move(*cost));
    }
  }
  return recordings;
}

// The newest maxLogonRecordings of them.
std::vector<LogonRecording> newest(std::vector<LogonRecording> recordings) {
  if (recordings.size() > maxLogonRecordings)
    recordings.erase(recordings.begin(),
                     recordings.end() - static_cast<std::ptrdiff_t>(maxLogonRecordings));
  return recordings;
}

std::string bytesOf(const LogonRecording &logon) {
  std::vector<std::string> lines{std::string(logonWord) + '\t' +
                                 std::to_string(logon.sessionStart)};
  for (const auto &cost : logon.entries)
    lines.push_back(std::string(entryWord) + '\t' + oneLine(cost.kind) + '\t' + hexOf(cost.name) +
                    '\t' + figure(cost.cpuMs) + '\t' + figure(cost.diskBytes) + '\t' +
                    figure(cost.startedAfterMs) + '\t' + oneLine(cost.reason));
  return textfile::joinLines(lines);
}

// How many recordings the file's bytes begin, without parsing them.
std::size_t recordingsIn(std::string_view bytes) {
  const std::string start = std::string(logonWord) + '\t';
  std::size_t count = 0;
  for (std::size_t line = 0; line < bytes.size();) {
    count += bytes.substr(line).starts_with(start);
    const std::size_t end = bytes.find('\n', line);
    if (end == std::string_view::npos)
      break;
    line = end + 1;
  }
  return count;
}

std::string fileBytes(const std::string &path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error))
    return {};
  return textfile::readBytes(path, textfile::dataReadLimit);
}

} // namespace

std::vector<LogonRecording> readLogonRecordings(const std::string &path) {
  return newest(parse(textfile::splitLines(fileBytes(path))));
}

void addLogonRecording(const std::string &path, const LogonRecording &recording) {
  FileLock lock(path);
  const std::string bytes = fileBytes(path);
  // Most logons add theirs at the end, as the change journal does, instead of making the file
  // anew; once it holds twice as many as are kept, it is rewritten with the newest.
  if (recordingsIn(bytes) < 2 * maxLogonRecordings) {
    textfile::appendLines(path, (bytes.empty() ? std::string(header) + textfile::lineEnd : "") +
                                    bytesOf(recording));
    return;
  }
  std::vector<LogonRecording> recordings = parse(textfile::splitLines(bytes));
  recordings.push_back(recording);
  std::string rewritten = std::string(header) + textfile::lineEnd;
  for (const auto &logon : newest(std::move(recordings)))
    rewritten += bytesOf(logon);
  textfile::writeAtomically(path, rewritten);
}

std::string isoTime(std::int64_t secondsSince1970) {
  using namespace std::chrono;
  const sys_seconds at{seconds(secondsSince1970)};
  const auto day = floor<days>(at);
  const year_month_day date{day};
  const hh_mm_ss time{at - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return text;
}

} // namespace lw
