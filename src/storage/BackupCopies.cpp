#include "BackupCopies.h"

#include "EntryFormat.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string_view>

namespace lw {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view copySuffix = ".copy";
constexpr std::size_t hashDigits = 16;

std::string recordKey(const std::vector<std::string> &lines, std::size_t p) {
  // No line of a record holds an LF, so the joined text names the four lines unambiguously.
  return lines[p] + '\n' + lines[p + 1] + '\n' + lines[p + 2] + '\n' + lines[p + 3];
}

std::string hashOf(std::string_view text) {
  // FNV-1a: stable across versions and platforms, which a file name must be.
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char digits[hashDigits + 1];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return digits;
}

std::string nameFor(const std::string &key, std::size_t ordinal) {
  return hashOf(key) + "-" + std::to_string(ordinal) + std::string(copySuffix);
}

// The records of the same four lines as the one at p, in order, and which of them p is.
std::pair<std::vector<std::size_t>, std::size_t> sameRecords(const std::vector<std::string> &lines,
                                                             std::size_t p) {
  const std::string key = recordKey(lines, p);
  std::vector<std::size_t> same;
  std::size_t index = 0;
  for (const std::size_t start : recordStarts(lines))
    if (recordKey(lines, start) == key) {
      if (start == p)
        index = same.size();
      same.push_back(start);
    }
  return {same, index};
}

bool isCopyName(std::string_view name) {
  if (!name.ends_with(copySuffix) || name.size() < hashDigits + 2 + copySuffix.size() ||
      name[hashDigits] != '-')
    return false;
  for (std::size_t i = 0; i < name.size() - copySuffix.size(); ++i) {
    const char c = name[i];
    const bool digit = c >= '0' && c <= '9';
    if (i == hashDigits)
      continue;
    if (i < hashDigits ? !(digit || (c >= 'a' && c <= 'f')) : !digit)
      return false;
  }
  return true;
}

void putField(std::string &out, std::string_view key, std::string_view value) {
  out += key;
  out += ' ';
  out += std::to_string(value.size());
  out += textfile::lineEnd;
  out += value;
  out += textfile::lineEnd;
}

RecordCopy parseCopy(const std::string &path, std::string_view bytes, const std::string &key) {
  const auto damaged = [&path] { return FileError(path, damagedCopyReason); };
  const std::string first = std::string(copyHeader) + textfile::lineEnd;
  if (!bytes.starts_with(first))
    throw damaged();
  bytes.remove_prefix(first.size());
  RecordCopy copy;
  bool keyed = false;
  while (!bytes.empty()) {
    const auto lineEnd = bytes.find(textfile::lineEnd);
    const auto blank = bytes.find(' ');
    if (lineEnd == std::string_view::npos || blank == std::string_view::npos || blank > lineEnd)
      throw damaged();
    const std::string_view field = bytes.substr(0, blank);
    std::size_t size = 0;
    const char *digits = bytes.data() + blank + 1;
    const auto [end, error] = std::from_chars(digits, bytes.data() + lineEnd, size);
    const std::size_t start = lineEnd + 2;
    if (error != std::errc() || end != bytes.data() + lineEnd || blank + 1 == lineEnd ||
        size > bytes.size() - start || bytes.size() - start - size < 2 ||
        bytes.substr(start + size, 2) != textfile::lineEnd)
      throw damaged();
    const std::string value(bytes.substr(start, size));
    if (field == "record")
      keyed = value == key;
    else if (field == "file")
      copy.file = value;
    else if (field == "snapshot")
      copy.snapshot = value;
    else if (field == "schedule")
      copy.scheduleLine = value;
    else if (field == "disabled")
      copy.disabled = value == "1";
    else if (field == "view")
      copy.view32 = value == "32";
    // Fields of a later version are passed over.
    bytes.remove_prefix(start + size + 2);
  }
  // A copy that is not its record's (a hand-made file, a hash collision) is never used.
  if (!keyed)
    throw damaged();
  return copy;
}

} // namespace

std::vector<std::size_t> recordStarts(const std::vector<std::string> &backupLines) {
  std::vector<std::size_t> starts;
  for (std::size_t p = 0; p + 3 < backupLines.size(); ++p)
    if (beginsRecord(backupLines[p]))
      starts.push_back(p);
  return starts;
}

std::string copyFileName(const std::vector<std::string> &backupLines, std::size_t p) {
  return nameFor(recordKey(backupLines, p), sameRecords(backupLines, p).second + 1);
}

std::string copyBytes(const std::vector<std::string> &recordLines, const RecordCopy &copy) {
  std::string out = std::string(copyHeader) + textfile::lineEnd;
  putField(out, "record", recordKey(recordLines, 0));
  putField(out, "file", copy.file);
  if (recordLines[3] == "2") {
    putField(out, "schedule", copy.scheduleLine);
    putField(out, "disabled", copy.disabled ? "1" : "0");
  } else {
    putField(out, "snapshot", copy.snapshot);
    if (copy.view32)
      putField(out, "view", "32");
  }
  return out;
}

std::optional<RecordCopy> readCopy(const std::string &folder,
                                   const std::vector<std::string> &backupLines, std::size_t p) {
  const std::string path = folder + "/" + copyFileName(backupLines, p);
  std::error_code error;
  const auto status = fs::symlink_status(path, error);
  if (status.type() == fs::file_type::not_found)
    return std::nullopt;
  if (error)
    throw FileError(path, error.message());
  if (status.type() != fs::file_type::regular)
    throw FileError(path, textfile::notRegularReason);
  return parseCopy(path, textfile::readBytes(path, copyReadLimit), recordKey(backupLines, p));
}

void writeCopy(const std::string &folder, const std::vector<std::string> &backupLines,
               std::size_t p, const RecordCopy &copy) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error)
    throw FileError(folder, error.message());
  const std::vector<std::string> record(backupLines.begin() + static_cast<std::ptrdiff_t>(p),
                                        backupLines.begin() + static_cast<std::ptrdiff_t>(p + 4));
  textfile::writeAtomically(folder + "/" + copyFileName(backupLines, p), copyBytes(record, copy),
                            textfile::LinkPolicy::Refuse);
}

void forgetCopy(const std::string &folder, const std::vector<std::string> &backupLines,
                std::size_t p) {
  const auto [same, index] = sameRecords(backupLines, p);
  const std::string key = recordKey(backupLines, p);
  // Renames replace directory entries only; a link among the copies is moved, never followed.
  std::error_code ignored;
  fs::remove(folder + "/" + nameFor(key, index + 1), ignored);
  for (std::size_t later = index + 1; later < same.size(); ++later) {
    const std::string from = folder + "/" + nameFor(key, later + 1);
    const std::string to = folder + "/" + nameFor(key, later);
    if (std::rename(from.c_str(), to.c_str()) != 0)
      fs::remove(to, ignored); // no copy: the record below must not inherit another's
  }
}

void removeStrayCopies(const std::string &folder, const std::vector<std::string> &backupLines) {
  std::error_code error;
  fs::directory_iterator listing(folder, error);
  if (error)
    return; // no folder, no copies
  std::set<std::string> named;
  std::map<std::string, std::size_t> seen;
  for (const std::size_t p : recordStarts(backupLines)) {
    const std::string key = recordKey(backupLines, p);
    named.insert(nameFor(key, ++seen[key]));
  }
  std::vector<fs::path> stray;
  for (const auto &item : listing) {
    const std::string name = item.path().filename().string();
    if (isCopyName(name) && !named.contains(name))
      stray.push_back(item.path());
  }
  for (const auto &path : stray)
    fs::remove(path, error);
}

} // namespace lw
