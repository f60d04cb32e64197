#include "Reversal.h"

#include "DisabledEntries.h"
#include "support/FileError.h"
#include "support/TextNumbers.h"

#include <algorithm>

namespace lw {

namespace {

bool offered(const std::vector<std::string> &lines, std::size_t p) {
  // A header without name, command and kind behind it is never read past the end.
  return beginsRecord(lines[p]) && p + 3 < lines.size();
}

// An entry a restore may change, recorded before it does.
struct Holder {
  EntryKind kind;
  bool view32;
  std::string name;
  bool sameKind;
  std::optional<std::string> before; // a Run entry's snapshot as it was
  std::vector<std::string> record;
};

std::optional<std::string> snapshotOf(EntryStore &store, const Holder &holder) {
  if (holder.kind == EntryKind::Customized)
    return std::nullopt;
  return store.system().startup.snapshot(rootOf(holder.kind, holder.view32), holder.name);
}

// Records every entry of the kind that holds the name now, and for a Run entry those of the
// other Run key of the name too: a platform may keep part of one there (on Linux a user file
// switches off the machine entry of its name). An entry of the machine's 32-bit Run key is held
// in that view only; the other view's entry of the name is not its concern.
std::vector<Holder> recordHolders(EntryStore &store, EntryKind kind, bool view32,
                                  const std::string &name) {
  std::vector<Holder> holders;
  const auto add = [&](EntryKind holderKind, bool sameKind) {
    const bool holderView32 = view32 && holderKind == EntryKind::AllUsers;
    for (auto &held : store.namesLike(holderKind, name, holderView32)) {
      std::string command;
      if (holderKind == EntryKind::Customized) {
        store.readEntries();
        for (const auto &entry : entriesOf(store.customLines))
          if (entry.name == held)
            command = entry.command;
      } else {
        command = store.system()
                      .startup.commandOf(rootOf(holderKind, holderView32), held)
                      .value_or(std::string());
      }
      Holder holder{holderKind, holderView32, std::move(held), sameKind, {}, {}};
      holder.before = snapshotOf(store, holder);
      holder.record = store.recordInBackup(holderKind, holder.name, command, holderView32);
      holders.push_back(std::move(holder));
    }
  };
  add(kind, true);
  if (kind != EntryKind::Customized)
    add(kind == EntryKind::AllUsers ? EntryKind::CurrentUser : EntryKind::AllUsers, false);
  return holders;
}

// The backup file as the walk read it, with the name of each record's copy.
struct ReadBackup {
  const std::vector<std::string> &lines;
  CopyNames copyNames;

  std::optional<RecordCopy> copyAt(const EntryStore &store, std::size_t p) const {
    return readCopy(store.copiesPath(), copyNames.of(p), lines, p);
  }
};

// Whether the record at p of the lines is of the machine's 32-bit Run key, as its copy says. A
// copy that cannot be read says no here; the restore itself names it.
bool ofView32(const EntryStore &store, const ReadBackup &backup, std::size_t p) {
  try {
    const auto copy = backup.copyAt(store, p);
    return copy && copy->view32;
  } catch (const FileError &) {
    return false;
  }
}

// Whether the entry is already exactly what the copy would put back: a restore cut short after
// its write left the entry back and its record still there. Taking the record out is then all
// that is left to do; recording the entry and writing it again would keep a record of the
// restored entry itself.
bool alreadyRestored(EntryStore &store, const BackupRecord &record, EntryKind kind,
                     const RecordCopy &copy) {
  const Platform &platform = store.system();
  if (kind != EntryKind::Customized)
    return platform.startup.snapshot(rootOf(kind, copy.view32), record.name) == copy.snapshot;
  store.readEntries();
  std::size_t blocks = 0;
  bool same = false;
  for (const auto &entry : entriesOf(store.customLines))
    if (sameRegistryName(entry.name, record.name)) {
      ++blocks;
      same = entry.complete && entry.name == record.name && entry.command == record.command &&
             entry.scheduleLine == copy.scheduleLine;
    }
  return blocks == 1 && same &&
         isCustomizedDisabled(platform.registry, record.name) == copy.disabled;
}

// Keeps the record of each entry the restore replaced and takes out the others'.
void settleHolders(EntryStore &store, const std::vector<Holder> &holders, bool restored) {
  for (const auto &holder : holders) {
    bool changed = restored;
    if (restored && holder.kind != EntryKind::Customized)
      changed = holder.before ? snapshotOf(store, holder) != holder.before : holder.sameKind;
    if (!changed)
      store.takeOutRecord(holder.record);
  }
}

// A logon item's switch goes back through the source of the record's kind, from what its copy
// says; a record of a kind no source has, or without its copy, stays.
RestoreReport restoreSwitch(const EntryStore &store, const BackupRecord &record,
                            const ReadBackup &backup, std::size_t at) {
  RestoreReport result;
  for (LogonSource *source : store.system().logonSources) {
    if (record.kindLine != source->kind()->word)
      continue;
    try {
      const auto copy = backup.copyAt(store, at);
      if (!copy || copy->undo.empty())
        return result;
      result.restored = source->restoreSwitch(record.name, copy->undo);
      if (!result.restored)
        result.why = copy->file;
    } catch (const FileError &error) {
      result.why = error.what();
    }
    break;
  }
  return result;
}

RestoreReport restore(EntryStore &store, Toolbox &toolbox, const BackupRecord &record,
                      const ReadBackup &backup, std::size_t at) {
  RestoreReport result;
  const auto kind = backupKindOf(record.kindLine);
  if (!kind)
    return restoreSwitch(store, record, backup, at);
  const Platform &platform = store.system();
  try {
    const auto copy = backup.copyAt(store, at);
    if (copy && alreadyRestored(store, record, *kind, *copy)) {
      result.restored = true;
      return result;
    }
    const bool view32 = copy && copy->view32;
    const auto holders = recordHolders(store, *kind, view32, record.name);
    if (*kind != EntryKind::Customized) {
      if (copy) {
        const auto put =
            platform.startup.restoreSnapshot(rootOf(*kind, view32), record.name, copy->snapshot);
        result.restored = put.done;
        result.link = put.link;
        result.linkTarget = put.linkTarget;
        if (!result.restored)
          result.why = put.failed.empty() ? copy->file : put.failed;
      } else {
        result.restored = platform.startup.write(rootOf(*kind), record.name, record.command);
        if (!result.restored)
          result.why = platform.startup.entryFile(rootOf(*kind), record.name);
      }
      settleHolders(store, holders, result.restored);
      return result;
    }
    const std::string scheduleLine =
        copy ? copy->scheduleLine : restoredSchedule + toolbox.currentStamp();
    if (containsLineBreak(record.name) || containsLineBreak(record.command) ||
        containsLineBreak(scheduleLine))
      throw FileError(store.customEntriesPath(), lineBreakReason);
    // A copy's switch is written back last; a store that cannot take it is named before
    // anything changes, rather than the entry coming back switched on.
    if (copy)
      disabledCustomizedNames(platform.registry);
    try {
      store.rewriteEntries([&](std::vector<std::string> &lines, bool) {
        std::vector<std::string> kept;
        for (std::size_t i = 0; i < lines.size(); i += linesPerBlock)
          if (!sameRegistryName(lines[i], record.name) || i + linesPerBlock > lines.size())
            kept.insert(kept.end(), lines.begin() + static_cast<std::ptrdiff_t>(i),
                        lines.begin() +
                            static_cast<std::ptrdiff_t>(std::min(i + linesPerBlock, lines.size())));
        // In front of a trailing incomplete block, as addEntry puts a new block.
        const auto before = kept.begin() + static_cast<std::ptrdiff_t>(completeBlockLines(kept));
        kept.insert(before,
                    {record.name, record.command, scheduleLine, std::string(blockSeparator)});
        lines = std::move(kept);
      });
    } catch (const FileError &) {
      settleHolders(store, holders, false);
      throw;
    }
    for (const auto &holder : holders)
      setCustomizedDisabled(platform.registry, holder.name, false);
    if (copy)
      setCustomizedDisabled(platform.registry, record.name, copy->disabled);
    result.restored = true;
  } catch (const FileError &error) {
    // The walk goes on with the other records; this one stays and the user learns why.
    result.why = error.what();
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

std::string restoreQuestion(const BackupRecord &record, const LanguageTable &texts,
                            const std::string &kindLabel) {
  // "%s\n\n%s  (%s)\n%s\n\n%s"
  const std::string kind = record.view32        ? texts.getText(text::allUsers32Label)
                           : !kindLabel.empty() ? kindLabel
                                                : backupKindLabel(record.kindLine, texts);
  std::string question =
      record.header + "\n\n" + record.name + "  (" + kind + ")\n" + record.command + "\n\n";
  if (!record.takenBy.empty())
    question += texts.getText(text::restoreReplaces) + "\n\n";
  return question + texts.getText(text::restoreQuestion);
}

std::size_t offeredRecords(const std::vector<std::string> &backupLines) {
  std::size_t count = 0;
  for (std::size_t p = 0; p < backupLines.size(); ++p)
    count += offered(backupLines, p);
  return count;
}

std::vector<std::size_t> unreadableRecords(const std::vector<std::string> &backupLines) {
  std::vector<std::size_t> found;
  const std::size_t size = backupLines.size();
  std::size_t p = 0;
  while (p < size) {
    if (beginsRecord(backupLines[p])) {
      if (!offered(backupLines, p)) {
        found.push_back(p); // cut short at the end
        break;
      }
      p += linesPerRecord - 1;
      // The fifth line goes with the record whatever it holds, unless it begins the next one.
      if (p < size && !beginsRecord(backupLines[p]))
        ++p;
      continue;
    }
    if (backupLines[p].empty()) {
      ++p;
      continue;
    }
    // Lines that belong to no record: one whose header was changed or cut. They count once, up
    // to the next record's header.
    found.push_back(p);
    while (p < size && !beginsRecord(backupLines[p]))
      ++p;
  }
  return found;
}

namespace {

// The walk; `only` restores that record and no other, and offers no other to the answers.
ReversalResult walk(EntryStore &store, Toolbox &toolbox, const ReversalAnswers &answers,
                    std::optional<std::size_t> only) {
  store.readBackupFile();
  const std::vector<std::string> readAtStart = store.backupLines;
  const ReadBackup backup{readAtStart, CopyNames(readAtStart)};
  std::vector<EntryStore::TakenOut> takenOut;
  ReversalResult result;
  if (answers.unreadable) {
    const auto unreadable = unreadableRecords(readAtStart);
    if (!unreadable.empty())
      answers.unreadable(unreadable);
  }

  // A restored record's lines are passed over, as if they were gone: the walk goes on with the
  // line after them. The store's own lines change when a restore records the entry it replaces;
  // the walk keeps to the lines it read.
  const std::vector<std::string> &lines = readAtStart;
  std::size_t p = 0;
  std::size_t number = 0;
  while (p < lines.size()) {
    if (!offered(lines, p)) {
      ++p;
      continue;
    }
    BackupRecord record{++number, lines[p], lines[p + 1], lines[p + 2], lines[p + 3], {}};
    if (only && number != *only) {
      ++p;
      continue;
    }
    if (const auto kind = backupKindOf(record.kindLine)) {
      record.view32 = ofView32(store, backup, p);
      const auto taken = store.namesLike(*kind, record.name, record.view32);
      if (!taken.empty())
        record.takenBy = taken.front();
    }
    if (answers.restore && !answers.restore(record)) {
      ++p;
      continue;
    }
    result.last = restore(store, toolbox, record, backup, p);
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
    takenOut.push_back({p,
                        {lines.begin() + static_cast<std::ptrdiff_t>(p),
                         lines.begin() + static_cast<std::ptrdiff_t>(end)}});
    p = end;
    if (only)
      break;
  }

  store.finishReversal(readAtStart, takenOut);
  result.offered = number;
  return result;
}

} // namespace

ReversalResult reverseStartupChanges(EntryStore &store, Toolbox &toolbox,
                                     const ReversalAnswers &answers) {
  return walk(store, toolbox, answers, std::nullopt);
}

ReversalResult restoreRecord(EntryStore &store, Toolbox &toolbox, std::size_t number) {
  return walk(store, toolbox, {}, number);
}

std::optional<EntryKind> backupKindOf(const std::string &kindLine) {
  if (kindLine == "0")
    return EntryKind::AllUsers;
  if (kindLine == "1")
    return EntryKind::CurrentUser;
  if (kindLine == "2")
    return EntryKind::Customized;
  return std::nullopt;
}

} // namespace lw
