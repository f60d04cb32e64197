#include "BackupCopies.h"

#include "EntryFormat.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

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

// Which of the records of the same four lines the one at p is, counted from 1.
std::size_t ordinalOf(const std::vector<std::string> &lines, std::size_t p) {
  const auto same = [&lines, p](std::size_t start) {
    for (std::size_t i = 0; i < 4; ++i)
      if (lines[start + i] != lines[p + i])
        return false;
    return true;
  };
  std::size_t ordinal = 1;
  for (const std::size_t start : recordStarts(lines)) {
    if (start == p)
      break;
    ordinal += same(start);
  }
  return ordinal;
}

// Whether a folder stands where the copies folder belongs (anything else holds no copies). A
// link, even one to a folder, is refused: the data folder may be another user's, who chose
// where it leads.
bool copiesFolderThere(const std::string &folder) {
  std::error_code error;
  const auto status = fs::symlink_status(folder, error);
  if (status.type() == fs::file_type::not_found)
    return false;
  if (error)
    throw FileError(folder, error.message());
  if (status.type() == fs::file_type::symlink)
    throw FileError(folder, linkedCopiesFolderReason);
  return status.type() == fs::file_type::directory;
}

// The same for a change that only takes copies away: with no folder, or a link, there is
// nothing of ours to change.
bool copiesFolderToChange(const std::string &folder) {
  try {
    return copiesFolderThere(folder);
  } catch (const FileError &) {
    return false;
  }
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
    else if (field == "undo")
      copy.undo = value;
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
  return nameFor(recordKey(backupLines, p), ordinalOf(backupLines, p));
}

CopyNames::CopyNames(const std::vector<std::string> &backupLines)
    : starts(recordStarts(backupLines)) {
  names.reserve(starts.size());
  std::unordered_map<std::string, std::size_t> seen;
  for (const std::size_t p : starts) {
    std::string key = recordKey(backupLines, p);
    const std::size_t ordinal = ++seen[key];
    names.push_back(nameFor(key, ordinal));
  }
}

const std::string &CopyNames::of(std::size_t p) const {
  const auto at = std::lower_bound(starts.begin(), starts.end(), p);
  return names[static_cast<std::size_t>(at - starts.begin())];
}

std::string copyBytes(const std::vector<std::string> &recordLines, const RecordCopy &copy) {
  std::string out = std::string(copyHeader) + textfile::lineEnd;
  putField(out, "record", recordKey(recordLines, 0));
  putField(out, "file", copy.file);
  if (recordLines[3] == "2") {
    putField(out, "schedule", copy.scheduleLine);
    putField(out, "disabled", copy.disabled ? "1" : "0");
  } else if (!copy.undo.empty()) {
    putField(out, "undo", copy.undo);
  } else {
    putField(out, "snapshot", copy.snapshot);
    if (copy.view32)
      putField(out, "view", "32");
  }
  return out;
}

std::optional<RecordCopy> readCopy(const std::string &folder, const std::string &fileName,
                                   const std::vector<std::string> &backupLines, std::size_t p) {
  if (!copiesFolderThere(folder))
    return std::nullopt;
  const std::string path = folder + "/" + fileName;
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

std::optional<RecordCopy> readCopy(const std::string &folder,
                                   const std::vector<std::string> &backupLines, std::size_t p) {
  return readCopy(folder, copyFileName(backupLines, p), backupLines, p);
}

std::string writeCopy(const std::string &folder, const std::vector<std::string> &backupLines,
                      std::size_t p, const RecordCopy &copy) {
  if (!copiesFolderThere(folder)) {
    // mkdir itself: it makes a folder or fails, and never follows a link put at the name.
    std::error_code error;
    fs::create_directories(fs::path(folder).parent_path(), error);
    if (!fs::create_directory(folder, error) && error)
      throw FileError(folder, error.message());
    copiesFolderThere(folder); // whatever stands there now must be a folder
  }
  const std::vector<std::string> record(backupLines.begin() + static_cast<std::ptrdiff_t>(p),
                                        backupLines.begin() + static_cast<std::ptrdiff_t>(p + 4));
  std::string fileName = copyFileName(backupLines, p);
  textfile::writeAtomically(folder + "/" + fileName, copyBytes(record, copy),
                            textfile::LinkPolicy::Refuse);
  return fileName;
}

void dropCopy(const std::string &folder, const std::string &fileName) {
  std::error_code ignored;
  if (!fileName.empty() && copiesFolderToChange(folder))
    fs::remove(folder + "/" + fileName, ignored);
}

void forgetCopies(const std::string &folder, const std::vector<std::string> &backupLines,
                  const std::vector<std::size_t> &taken) {
  if (taken.empty() || !copiesFolderToChange(folder))
    return;
  std::unordered_set<std::string> keys;
  for (const std::size_t p : taken)
    keys.insert(recordKey(backupLines, p));
  // Only the records of the taken records' four lines have ordinals that change.
  std::unordered_map<std::string, std::vector<std::size_t>> same;
  for (const std::size_t p : recordStarts(backupLines)) {
    std::string key = recordKey(backupLines, p);
    if (keys.contains(key))
      same[std::move(key)].push_back(p);
  }
  // Renames replace directory entries only; a link among the copies is moved, never followed.
  std::error_code ignored;
  for (const auto &[key, starts] : same) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < starts.size(); ++i) {
      const std::string from = folder + "/" + nameFor(key, i + 1);
      if (std::binary_search(taken.begin(), taken.end(), starts[i])) {
        fs::remove(from, ignored);
        continue;
      }
      if (++kept == i + 1)
        continue;
      const std::string to = folder + "/" + nameFor(key, kept);
      if (std::rename(from.c_str(), to.c_str()) != 0)
        fs::remove(to, ignored); // no copy: the record below must not inherit another's
    }
  }
}

} // namespace lw
