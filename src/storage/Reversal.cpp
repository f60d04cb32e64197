#include "Reversal.h"

#include "support/FileError.h"
#include "support/TextNumbers.h"

#include <algorithm>

namespace lw {

namespace {

std::string question(const std::vector<std::string> &lines, std::size_t p,
                     const LanguageTable &texts) {
  // "%s\n\n%s  (%s)\n%s\n\n%s"
  return lines[p] + "\n\n" + lines[p + 1] + "  (" + backupKindLabel(lines[p + 3], texts) + ")\n" +
         lines[p + 2] + "\n\n" + texts.getText(text::restoreQuestion);
}

struct Restore {
  bool done = false;
  std::string why; // what a failed file write said, for the user
};

Restore restore(EntryStore &store, Toolbox &toolbox, const std::string &name,
                const std::string &command, const std::string &kindLine) {
  Restore result;
  if (kindLine == "0" || kindLine == "1") {
    toolbox.keyPath = keys::run;
    result.done = toolbox.writeValue(kindLine == "0" ? 0 : 1, name, command);
  } else if (kindLine == "2") {
    try {
      store.addEntry(name, command, restoredSchedule + toolbox.currentStamp());
      result.done = true;
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

ReversalResult reverseStartupChanges(EntryStore &store, Toolbox &toolbox,
                                     const LanguageTable &texts) {
  Prompter &prompter = store.system().prompter;
  store.readBackupFile();
  const std::vector<std::string> readAtStart = store.backupLines;
  std::vector<std::vector<std::string>> takenOut;
  ReversalResult result;

  std::vector<std::string> &lines = store.backupLines;
  std::size_t p = 0;
  while (p < lines.size()) {
    // A header without name, command and kind behind it is never read past the end.
    if (!beginsRecord(lines[p]) || p + 3 >= lines.size()) {
      ++p;
      continue;
    }
    if (!prompter.ask(question(lines, p, texts), EntryStore::caption)) {
      ++p;
      continue;
    }
    const std::string kindLine = lines[p + 3];
    const Restore restored = restore(store, toolbox, lines[p + 1], lines[p + 2], kindLine);
    if (!restored.done) {
      std::string notice = texts.getText(text::restoreFailed);
      if (!restored.why.empty())
        notice += "\n\n" + restored.why;
      prompter.tell(notice, EntryStore::caption);
      ++p;
      continue;
    }
    if (kindLine == "2")
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
    prompter.tell(texts.getText(text::restoredNotice), ""); // no caption of its own
  }

  store.finishReversal(readAtStart, takenOut);
  return result;
}

} // namespace lw
