#pragma once

#include "EntryStore.h"

#include <cstddef>
#include <functional>
#include <string>

namespace lw {

// One record of the backup file as the walk offers it.
struct BackupRecord {
  std::size_t number = 0; // counted from 1 over the records offered, oldest first
  std::string header;     // "Deleted or changed on ..."
  std::string name;
  std::string command;
  std::string kindLine; // "0", "1", "2", or whatever a hand edit left there
};

// What became of one record the walk was told to restore.
struct RestoreReport {
  bool restored = false;
  std::string why; // a failed file write's own words, when there were any
};

struct ReversalResult {
  int restored = 0;
  bool customizedChanged = false; // the caller has the timer reload its entries
  RestoreReport last;             // the report of the last record the walk tried to restore
};

// The front end's part in the walk: whether to restore a record, and what to tell about it.
struct ReversalAnswers {
  std::function<bool(const BackupRecord &)> restore;
  std::function<void(const BackupRecord &, const RestoreReport &)> report; // may be empty
};

// The schedule a restored customized entry gets: the backup record keeps no schedule, so it
// comes back as "1x per day" with no weekday.
inline constexpr const char *restoredSchedule = "000000000000000x00";

// How a backup record's kind line is shown: the kind's label, or the line itself when a hand
// edit left something else there.
std::string backupKindLabel(const std::string &kindLine, const LanguageTable &texts);

// The question the window asks for a record (text 185 under the record's lines).
std::string restoreQuestion(const BackupRecord &record, const LanguageTable &texts);

// The walk of "Reverse Startup Changes": offers each record, oldest first, and restores what
// the answers take through `toolbox` (the main window's; keyPath is set before each write). A
// Run entry goes back into its Run key, a customized entry into the customized entries file
// with restoredSchedule and the current time. A record whose restore fails stays; a restored
// one leaves the file, which is written once, at the end. A record header with no kind line
// behind it is not offered; a last record cut short is removed only as far as it goes, and a
// fifth line that begins the next record stays with that record. Throws FileError when the
// backup file cannot be read, is not recognised or cannot be written.
ReversalResult reverseStartupChanges(EntryStore &store, Toolbox &toolbox,
                                     const ReversalAnswers &answers);

// Restores the record with that number (as the walk counts them) and no other.
ReversalResult restoreRecord(EntryStore &store, Toolbox &toolbox, std::size_t number);

// How many records the walk offers.
std::size_t offeredRecords(const std::vector<std::string> &backupLines);

} // namespace lw
