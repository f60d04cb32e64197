#include "EntryFormat.h"

#include "support/TextFile.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>

namespace lw {

namespace {

// What many editors put in front of a file they saved as UTF-8.
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::string headerBytes(std::string_view header, std::size_t ruleLength) {
  std::string out(header);
  out += textfile::lineEnd;
  out.append(ruleLength, '=');
  out += textfile::lineEnd;
  out += textfile::lineEnd;
  return out;
}

} // namespace

bool containsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::size_t completeBlockLines(const std::vector<std::string> &customLines) {
  return customLines.size() - customLines.size() % linesPerBlock;
}

namespace {

template <class Lines> std::vector<CustomEntry> blocksOf(Lines &&customLines) {
  constexpr bool taken = std::is_rvalue_reference_v<Lines &&>;
  auto text = [&customLines](std::size_t i) -> decltype(auto) {
    if constexpr (taken)
      return std::move(customLines[i]);
    else
      return customLines[i];
  };
  std::vector<CustomEntry> entries;
  entries.reserve((customLines.size() + linesPerBlock - 1) / linesPerBlock);
  for (std::size_t i = 0; i < customLines.size(); i += linesPerBlock) {
    CustomEntry entry;
    entry.name = text(i);
    if (i + 1 < customLines.size())
      entry.command = text(i + 1);
    if (i + 2 < customLines.size())
      entry.scheduleLine = text(i + 2);
    entry.complete = i + linesPerBlock <= customLines.size();
    entries.push_back(std::move(entry));
  }
  return entries;
}

} // namespace

std::vector<CustomEntry> entriesOf(const std::vector<std::string> &customLines) {
  return blocksOf(customLines);
}

std::vector<CustomEntry> entriesOf(std::vector<std::string> &&customLines) {
  auto entries = blocksOf(std::move(customLines));
  customLines = {};
  return entries;
}

DataFileBody parseDataFile(std::string_view bytes, std::string_view header) {
  if (bytes.starts_with(byteOrderMark))
    bytes.remove_prefix(byteOrderMark.size());
  DataFileBody body;
  if (bytes.empty())
    return body;
  body.lines = textfile::splitLines(bytes);
  auto &lines = body.lines;
  if (lines.front() != header) {
    body.recognised = false;
    lines.clear();
    return body;
  }
  // Lines 2 and 3 are skipped unread, whatever a hand edit left in them. Erased in place, so
  // that a large file is never held in two vectors of lines.
  lines.erase(lines.begin(), lines.begin() + std::min<std::ptrdiff_t>(3, std::ssize(lines)));
  return body;
}

std::string customEntriesBytes(const std::vector<std::string> &customLines) {
  std::string out = headerBytes(customEntriesHeader, customEntriesRuleLength);
  const std::size_t count = customLines.size();
  for (std::size_t i = 0; i < count; ++i) {
    const bool last = i + 1 == count;
    // The last separator of a file of complete blocks is always "=====". A trailing incomplete
    // block has no separator: its last line is the user's and is kept as it is.
    const std::string_view line = last && count % linesPerBlock == 0
                                      ? std::string_view(blockSeparator)
                                      : std::string_view(customLines[i]);
    out += line;
    // No line end after the last line, unless it is empty and would otherwise vanish.
    if (!last || line.empty())
      out += textfile::lineEnd;
  }
  return out;
}

std::string backupBytes(const std::vector<std::string> &backupLines) {
  return headerBytes(backupHeader, backupRuleLength) + textfile::joinLines(backupLines);
}

std::string recordHeader(const LocalTime &time) {
  char text[96];
  std::snprintf(text, sizeof text, recordHeaderFormat, time.year, time.month, time.day, time.hour,
                time.minute);
  return text;
}

bool beginsRecord(std::string_view line) { return line.starts_with(recordMarker); }

} // namespace lw
