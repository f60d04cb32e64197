#include "Reversal.h"

#include "support/FileError.h"
#include "support/TextNumbers.h"

#include <algorithm>

namespace lw {

namespace {

bool offered(const std::vector<std::string> &lines, std::size_t p) {
  // A header without name, command and kind behind it is never read past the end.
  return beginsRecord(lines[p]) && p + 3 < lines.size();
}

RestoreReport restore(EntryStore &store, Toolbox &toolbox, const BackupRecord &record) {
  RestoreReport result;
  if (record.kindLine == "0" || record.kindLine == "1") {
    toolbox.keyPath = keys::run;
    result.restored =
        toolbox.writeValue(record.kindLine == "0" ? 0 : 1, record.name, record.command);
  } else if (record.kindLine == "2") {
    try {
      store.addEntry(record.name, record.command, restoredSchedule + toolbox.currentStamp());
      result.restored = true;
    } catch (const FileError &error) {
      // The walk goes on with the other records; this one stays and the user learns why.
      result.why = error.what();
    }
  }
  return result;
}

} // namespace

std::string backupKindLabel(const std::string &kindLine, const LanguageTable &texts) {
  if (kindLine == "0")
    return texts.getText(text::allUsersLabel);
  if (kindLine == "1")
    return texts.getText(text::currentUserLabel);
  if (kindLine == "2")
    return texts.getText(text::customizedRestoreLabel);
  return kindLine; // a hand edit: show what the record says
}

std::string restoreQuestion(const BackupRecord &record, const LanguageTable &texts) {
  // "%s\n\n%s  (%s)\n%s\n\n%s"
  return record.header + "\n\n" + record.name + "  (" + backupKindLabel(record.kindLine, texts) +
         ")\n" + record.command + "\n\n" + texts.getText(text::restoreQuestion);
}

std::size_t offeredRecords(const std::vector<std::string> &backupLines) {
  std::size_t count = 0;
  for (std::size_t p = 0; p < backupLines.size(); ++p)
    count += offered(backupLines, p);
  return count;
}

ReversalResult reverseStartupChanges(EntryStore &store, Toolbox &toolbox,
                                     const ReversalAnswers &answers) {
  store.readBackupFile();
  const std::vector<std::string> readAtStart = store.backupLines;
  std::vector<std::vector<std::string>> takenOut;
  ReversalResult result;

  std::vector<std::string> &lines = store.backupLines;
  std::size_t p = 0;
  std::size_t number = 0;
  while (p < lines.size()) {
    if (!offered(lines, p)) {
      ++p;
      continue;
    }
    const BackupRecord record{++number, lines[p], lines[p + 1], lines[p + 2], lines[p + 3]};
    if (!answers.restore(record)) {
      ++p;
      continue;
    }
    result.last = restore(store, toolbox, record);
    if (answers.report)
      answers.report(record, result.last);
    if (!result.last.restored) {
      ++p;
      continue;
    }
    if (record.kindLine == "2")
      result.customizedChanged = true;
    ++result.restored;
    // The empty fifth line goes with the record whatever a hand edit put there, unless it is
    // the header of the next record: that record would lose its beginning.
    std::size_t end = std::min(p + linesPerRecord, lines.size());
    if (end == p + linesPerRecord && beginsRecord(lines[end - 1]))
      --end;
    const auto first = lines.begin() + static_cast<std::ptrdiff_t>(p);
    const auto last = lines.begin() + static_cast<std::ptrdiff_t>(end);
    takenOut.emplace_back(first, last);
    lines.erase(first, last);
  }

  store.finishReversal(readAtStart, takenOut);
  return result;
}

ReversalResult restoreRecord(EntryStore &store, Toolbox &toolbox, std::size_t number) {
  return reverseStartupChanges(
      store, toolbox, {[number](const BackupRecord &record) { return record.number == number; }});
}

} // namespace lw
