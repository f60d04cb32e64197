#include "ChangeJournal.h"

#include "support/FileError.h"
#include "support/TextFile.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <unordered_map>

namespace lw {

namespace {

constexpr std::string_view header =
    "# Launchwright: changes to what starts at logon, oldest first. Fields, tab-separated: "
    "number, time (UTC), kind, name, change, command before, command after, by whom, action. "
    "A line \"=N action\" is what the user chose about change N.";

} // namespace

// A tab, a line end or a backslash inside a field is written as an escape, so that every
// record stays one line of nine fields whatever bytes its name or commands hold.
std::string journalEscaped(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (const char c : field) {
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\t':
      out += "\\t";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    default:
      out += c;
    }
  }
  return out;
}

std::string journalUnescaped(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\' || i + 1 == field.size()) {
      out += field[i];
      continue;
    }
    const char next = field[++i];
    out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
  }
  return out;
}

namespace {

std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

std::optional<std::uint64_t> numberOf(std::string_view text) {
  std::uint64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size() || number == 0)
    return std::nullopt;
  return number;
}

std::string actionLine(std::uint64_t number, std::string_view action) {
  return "=" + std::to_string(number) + "\t" + journalEscaped(action) + textfile::lineEnd;
}

struct Contents {
  std::vector<ChangeRecord> records;
  std::uint64_t lastNumber = 0;
  bool empty = true; // no file yet, or one without a byte: it begins with the header
};

// A line that is none of ours (a person's note, a line a crash cut short and a later write
// completed with another's end) is passed over rather than taken for a record.
Contents parse(const std::string &bytes) {
  Contents contents;
  std::unordered_map<std::uint64_t, std::size_t> byNumber;
  for (const auto &line : textfile::splitLines(bytes)) {
    if (line.empty() || line.front() == '#')
      continue;
    const auto fields = fieldsOf(line);
    if (line.front() == '=') {
      const auto number = fields.size() == 2 ? numberOf(fields[0].substr(1)) : std::nullopt;
      if (const auto found = number ? byNumber.find(*number) : byNumber.end();
          found != byNumber.end())
        contents.records[found->second].action = journalUnescaped(fields[1]);
      continue;
    }
    const auto number = fields.size() == 9 ? numberOf(fields[0]) : std::nullopt;
    if (!number)
      continue;
    ChangeRecord record{*number,
                        journalUnescaped(fields[1]),
                        journalUnescaped(fields[2]),
                        journalUnescaped(fields[3]),
                        journalUnescaped(fields[4]),
                        journalUnescaped(fields[5]),
                        journalUnescaped(fields[6]),
                        journalUnescaped(fields[7]),
                        journalUnescaped(fields[8])};
    byNumber[*number] = contents.records.size();
    contents.lastNumber = std::max(contents.lastNumber, *number);
    contents.records.push_back(std::move(record));
  }
  return contents;
}

Contents readContents(const std::string &path) {
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored))
    return {};
  const std::string bytes = textfile::readBytes(path, textfile::dataReadLimit);
  Contents contents = parse(bytes);
  contents.empty = bytes.empty();
  return contents;
}

} // namespace

std::string journalLine(const ChangeRecord &record) {
  std::string line = std::to_string(record.number);
  for (const std::string *field : {&record.time, &record.kind, &record.name, &record.change,
                                   &record.before, &record.after, &record.by, &record.action}) {
    line += '\t';
    line += journalEscaped(*field);
  }
  return line + textfile::lineEnd;
}

std::vector<ChangeRecord> ChangeJournal::read() const { return readContents(file).records; }

std::vector<ChangeRecord> ChangeJournal::append(std::vector<ChangeRecord> records) const {
  if (records.empty())
    return records;
  Contents contents = readContents(file);
  for (auto &record : records)
    record.number = ++contents.lastNumber;
  if (contents.records.size() + records.size() <= keptRecords) {
    std::string bytes = contents.empty ? std::string(header) + textfile::lineEnd : std::string();
    for (const auto &record : records)
      bytes += journalLine(record);
    textfile::appendLines(file, bytes);
    return records;
  }
  // Full: the newest records, with the actions taken on them, become the whole journal.
  std::vector<ChangeRecord> kept = std::move(contents.records);
  kept.insert(kept.end(), records.begin(), records.end());
  const auto dropped = kept.size() - std::min(kept.size(), keptRecords);
  std::string bytes = std::string(header) + textfile::lineEnd;
  for (auto record = kept.begin() + static_cast<std::ptrdiff_t>(dropped); record != kept.end();
       ++record)
    bytes += journalLine(*record);
  textfile::writeAtomically(file, bytes);
  return records;
}

void ChangeJournal::noteAction(std::uint64_t number, std::string_view action) const {
  textfile::appendLines(file, actionLine(number, action));
}

} // namespace lw
