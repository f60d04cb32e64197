#include "EntryStore.h"

#include "DisabledEntries.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <algorithm>
#include <filesystem>

namespace lw {

namespace {

// A missing file holds nothing that a write could destroy.
void requireRecognised(const std::string &path, std::string_view header) {
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored))
    return;
  if (!parseDataFile(textfile::readBytes(path, textfile::dataReadLimit), header).recognised)
    throw FileError(path, unrecognisedContentReason);
}

void refuseLineBreaks(const std::string &path, const std::vector<std::string> &lines) {
  // A lone CR read from the file stays inside its line and round-trips; only an LF splits.
  for (const auto &line : lines)
    if (line.find('\n') != std::string::npos)
      throw FileError(path, lineBreakReason);
}

DataFileBody readBody(const std::string &path, std::string_view header) {
  return parseDataFile(textfile::readBytes(path, textfile::dataReadLimit), header);
}

} // namespace

EntryStore::EntryStore(const Platform &system) : toolbox(system), texts(system), platform(system) {}

EntryStore::~EntryStore() = default;

std::string EntryStore::customEntriesPath() const {
  return toolbox.userFile(customEntriesFileName);
}

std::string EntryStore::backupPath() const { return toolbox.userFile(backupFileName); }

std::string EntryStore::copiesPath() const { return toolbox.userFile(copiesFolderName); }

void EntryStore::readEntries() {
  customLines.clear();
  customLines = readBody(customEntriesPath(), customEntriesHeader).lines;
}

void EntryStore::loadEntriesForChange() {
  customLines.clear();
  const std::string path = customEntriesPath();
  DataFileBody body = readBody(path, customEntriesHeader);
  if (!body.recognised)
    throw FileError(path, unrecognisedContentReason);
  customLines = std::move(body.lines);
}

void EntryStore::saveEntries() {
  const std::string path = customEntriesPath();
  refuseLineBreaks(path, customLines);
  textfile::writeAtomically(path, customEntriesBytes(customLines));
}

void EntryStore::writeEntries() {
  const std::string path = customEntriesPath();
  FileLock lock(path);
  requireRecognised(path, customEntriesHeader);
  saveEntries();
}

void EntryStore::addEntry(std::string name, std::string command, std::string scheduleLine) {
  const std::string path = customEntriesPath();
  if (containsLineBreak(name) || containsLineBreak(command) || containsLineBreak(scheduleLine))
    throw FileError(path, lineBreakReason);
  FileLock lock(path);
  loadEntriesForChange();
  // In front of a trailing incomplete block, so that the new block starts on a block boundary.
  const auto at =
      customLines.begin() + static_cast<std::ptrdiff_t>(completeBlockLines(customLines));
  customLines.insert(at, {std::move(name), std::move(command), std::move(scheduleLine),
                          std::string(blockSeparator)});
  saveEntries();
}

void EntryStore::removeEntry(const std::string &name) {
  FileLock lock(customEntriesPath());
  loadEntriesForChange();
  std::vector<std::string> kept;
  kept.reserve(customLines.size());
  for (std::size_t i = 0; i < customLines.size(); i += linesPerBlock) {
    const std::size_t end = std::min(i + linesPerBlock, customLines.size());
    if (customLines[i] != name)
      kept.insert(kept.end(), customLines.begin() + static_cast<std::ptrdiff_t>(i),
                  customLines.begin() + static_cast<std::ptrdiff_t>(end));
  }
  customLines = std::move(kept);
  saveEntries();
}

void EntryStore::rewriteEntries(
    const std::function<void(std::vector<std::string> &lines, bool fileExisted)> &change) {
  const std::string path = customEntriesPath();
  FileLock lock(path);
  std::error_code ignored;
  const bool existed = std::filesystem::exists(path, ignored);
  customLines.clear();
  if (existed)
    loadEntriesForChange();
  change(customLines, existed);
  saveEntries();
}

void EntryStore::readBackupFile() {
  backupLines.clear();
  backupLines = readBody(backupPath(), backupHeader).lines;
}

void EntryStore::loadBackupForChange() {
  backupLines.clear();
  const std::string path = backupPath();
  DataFileBody body = readBody(path, backupHeader);
  if (!body.recognised)
    throw FileError(path, unrecognisedContentReason);
  backupLines = std::move(body.lines);
}

void EntryStore::saveBackup() {
  const std::string path = backupPath();
  refuseLineBreaks(path, backupLines);
  textfile::writeAtomically(path, backupBytes(backupLines));
}

void EntryStore::writeBackupFile() {
  const std::string path = backupPath();
  FileLock lock(path);
  requireRecognised(path, backupHeader);
  saveBackup();
}

bool EntryStore::holdsEntry(EntryKind kind, const std::string &name, bool view32) {
  if (kind == EntryKind::Customized) {
    const std::string path = customEntriesPath();
    const DataFileBody body = readBody(path, customEntriesHeader);
    if (!body.recognised)
      throw FileError(path, unrecognisedContentReason);
    for (std::size_t at = 0; at < body.lines.size(); at += linesPerBlock)
      if (body.lines[at] == name)
        return true;
    return false;
  }
  const auto names = platform.startup.names(rootOf(kind, view32));
  return names && std::find(names->begin(), names->end(), name) != names->end();
}

std::vector<std::string> EntryStore::namesLike(EntryKind kind, const std::string &name,
                                               bool view32) {
  std::vector<std::string> names;
  if (kind == EntryKind::Customized) {
    const std::string path = customEntriesPath();
    const DataFileBody body = readBody(path, customEntriesHeader);
    for (std::size_t at = 0; at < body.lines.size(); at += linesPerBlock)
      if (sameRegistryName(body.lines[at], name) &&
          std::find(names.begin(), names.end(), body.lines[at]) == names.end())
        names.push_back(body.lines[at]);
    return names;
  }
  for (auto &listed : platform.startup.names(rootOf(kind, view32)).value_or(names))
    if (sameRegistryName(listed, name))
      names.push_back(std::move(listed));
  return names;
}

std::optional<RecordCopy> EntryStore::copyOf(EntryKind kind, const std::string &name, bool view32) {
  RecordCopy copy;
  if (kind == EntryKind::Customized) {
    const DataFileBody body = readBody(customEntriesPath(), customEntriesHeader);
    bool found = false;
    // Of several blocks of the name the last counts, as for the entry dialog.
    for (std::size_t at = 0; at + 2 < body.lines.size(); at += linesPerBlock)
      if (body.lines[at] == name) {
        copy.scheduleLine = body.lines[at + 2];
        found = true;
      }
    if (!found)
      return std::nullopt;
    copy.disabled = isCustomizedDisabled(platform.registry, name);
    return copy;
  }
  const RegistryRoot root = rootOf(kind, view32);
  auto snapshot = platform.startup.snapshot(root, name);
  if (!snapshot)
    return std::nullopt;
  copy.snapshot = std::move(*snapshot);
  copy.view32 = view32;
  for (const auto &row : platform.startup.entries(root).value_or(std::vector<RunEntry>()))
    if (row.name == name && row.view32 == view32)
      copy.file = row.file;
  return copy;
}

RemovalOutcome EntryStore::removeWithBackup(EntryKind kind, const std::string &name,
                                            const std::string &command, bool view32) {
  if (containsLineBreak(name) || containsLineBreak(command))
    return RemovalOutcome::Refused;
  // A data file that is a folder, a FIFO or a device is named before anything is written: an
  // edit that removes the old entry here may go on to write the entries file.
  textfile::requireRegularOrAbsent(backupPath());
  textfile::requireRegularOrAbsent(customEntriesPath());
  if (!holdsEntry(kind, name, view32))
    return RemovalOutcome::NothingToRemove;

  const auto copy = copyOf(kind, name, view32);
  FileLock lock(backupPath());
  loadBackupForChange();
  const std::vector<std::string> before = backupLines;
  const std::string copyName = appendRecord(kind, name, command, copy);
  saveRecord(copyName);
  bool removed = false;
  try {
    if (kind == EntryKind::Customized) {
      removeEntry(name);
      // A switch-off left behind would silently apply to a later entry of the same name.
      setCustomizedDisabled(platform.registry, name, false);
      removed = true;
    } else {
      removed = platform.startup.remove(rootOf(kind, view32), name);
      if (removed)
        platform.startup.forgetSwitch(rootOf(kind, view32), name);
    }
  } catch (const FileError &) {
    backupLines = before;
    saveBackup();
    dropCopy(copiesPath(), copyName);
    throw;
  }
  if (!removed) {
    backupLines = before;
    saveBackup();
    dropCopy(copiesPath(), copyName);
    return RemovalOutcome::Failed;
  }
  return RemovalOutcome::Removed;
}

std::string EntryStore::appendRecord(EntryKind kind, const std::string &name,
                                     const std::string &command,
                                     const std::optional<RecordCopy> &copy) {
  return appendRecord(std::to_string(static_cast<int>(kind)), name, command, copy);
}

std::string EntryStore::appendRecord(const std::string &kindLine, const std::string &name,
                                     const std::string &command,
                                     const std::optional<RecordCopy> &copy) {
  const LocalTime now = platform.clock.now();
  const std::size_t at = backupLines.size();
  backupLines.push_back(recordHeader(now));
  backupLines.push_back(name);
  backupLines.push_back(command);
  backupLines.push_back(kindLine);
  backupLines.emplace_back();
  // Before the record, so that no record that should have a copy is ever without one; a copy
  // whose record is not written after all is taken away again (saveRecord).
  if (copy && !containsLineBreak(name) && !containsLineBreak(command))
    return writeCopy(copiesPath(), backupLines, at, *copy);
  return {};
}

void EntryStore::saveRecord(const std::string &copyName) {
  try {
    saveBackup();
  } catch (const FileError &) {
    dropCopy(copiesPath(), copyName);
    throw;
  }
}

std::vector<std::string> EntryStore::recordInBackup(EntryKind kind, const std::string &name,
                                                    const std::string &command, bool view32) {
  const auto copy = copyOf(kind, name, view32);
  FileLock lock(backupPath());
  loadBackupForChange();
  const std::size_t at = backupLines.size();
  saveRecord(appendRecord(kind, name, command, copy));
  return {backupLines.begin() + static_cast<std::ptrdiff_t>(at), backupLines.end()};
}

std::vector<std::string> EntryStore::recordSwitch(const std::string &kindWord,
                                                  const std::string &name,
                                                  const std::string &command,
                                                  const std::string &file,
                                                  const std::string &undo) {
  if (containsLineBreak(name) || containsLineBreak(command))
    throw FileError(backupPath(), lineBreakReason);
  RecordCopy copy;
  copy.file = file;
  copy.undo = undo;
  FileLock lock(backupPath());
  loadBackupForChange();
  const std::size_t at = backupLines.size();
  saveRecord(appendRecord(kindWord, name, command, copy));
  return {backupLines.begin() + static_cast<std::ptrdiff_t>(at), backupLines.end()};
}

void EntryStore::eraseRecord(std::size_t p, std::size_t size) {
  if (p + 3 < backupLines.size() && beginsRecord(backupLines[p]))
    forgetCopies(copiesPath(), backupLines, {p});
  const auto first = backupLines.begin() + static_cast<std::ptrdiff_t>(p);
  backupLines.erase(first, first + static_cast<std::ptrdiff_t>(size));
}

void EntryStore::takeOutRecord(const std::vector<std::string> &record) {
  FileLock lock(backupPath());
  loadBackupForChange();
  const auto found =
      std::find_end(backupLines.begin(), backupLines.end(), record.begin(), record.end());
  if (found == backupLines.end())
    return;
  eraseRecord(static_cast<std::size_t>(found - backupLines.begin()), record.size());
  saveBackup();
}

void EntryStore::finishReversal(const std::vector<std::string> &readAtStart,
                                const std::vector<TakenOut> &takenOut) {
  const std::string path = backupPath();
  FileLock lock(path);
  std::error_code ignored;
  DataFileBody current;
  if (std::filesystem::exists(path, ignored)) {
    current = readBody(path, backupHeader);
    if (!current.recognised)
      throw FileError(path, unrecognisedContentReason);
  } else {
    current.lines = readAtStart; // deleted meanwhile: what was read is what is known
  }
  backupLines = std::move(current.lines);
  // Records the walk itself made (a restore over an entry records that entry) only add to
  // the end; the places read at the start then still hold.
  const bool grownOnly = backupLines.size() >= readAtStart.size() &&
                         std::equal(readAtStart.begin(), readAtStart.end(), backupLines.begin());
  if (grownOnly) {
    // One pass over the lines, however many records go: the walk's records are in file order.
    std::vector<std::size_t> starts;
    starts.reserve(takenOut.size());
    for (const auto &record : takenOut)
      starts.push_back(record.at);
    forgetCopies(copiesPath(), backupLines, starts);
    std::vector<std::string> kept;
    kept.reserve(backupLines.size());
    std::size_t from = 0;
    for (const auto &record : takenOut) {
      std::move(backupLines.begin() + static_cast<std::ptrdiff_t>(from),
                backupLines.begin() + static_cast<std::ptrdiff_t>(record.at),
                std::back_inserter(kept));
      from = record.at + record.lines.size();
    }
    std::move(backupLines.begin() + static_cast<std::ptrdiff_t>(from), backupLines.end(),
              std::back_inserter(kept));
    backupLines = std::move(kept);
  } else {
    for (const auto &record : takenOut) {
      const auto found = std::search(backupLines.begin(), backupLines.end(), record.lines.begin(),
                                     record.lines.end());
      if (found != backupLines.end())
        eraseRecord(static_cast<std::size_t>(found - backupLines.begin()), record.lines.size());
    }
  }
  saveBackup();
}

} // namespace lw
