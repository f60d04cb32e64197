#pragma once

#include "EntryStore.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace lw {

// One record of the backup file as the walk offers it.
struct BackupRecord {
  std::size_t number = 0; // counted from 1 over the records offered, oldest first
  std::string header;     // "Deleted or changed on ..."
  std::string name;
  std::string command;
  std::string kindLine; // "0", "1", "2", or whatever a hand edit left there
  // The entry of the record's kind that holds its name now (in any case of ASCII letters):
  // a restore records it first and then puts the record's entry in its place. Empty when none.
  std::string takenBy;
  // Of a machine record whose copy says so: the machine's 32-bit Run key (Windows).
  bool view32 = false;
};

// What became of one record the walk was told to restore.
struct RestoreReport {
  bool restored = false;
  std::string why; // a failed file write's own words, when there were any
  // A link that came back as a file of its own: where, and what it pointed to.
  std::string link;
  std::string linkTarget;
};

struct ReversalResult {
  int restored = 0;
  std::size_t offered = 0;        // readable records the walk came to, restored or not
  bool customizedChanged = false; // the caller has the timer reload its entries
  RestoreReport last;             // the report of the last record the walk tried to restore
};

// The front end's part in the walk: whether to restore a record, and what to tell about it.
struct ReversalAnswers {
  std::function<bool(const BackupRecord &)> restore;
  std::function<void(const BackupRecord &, const RestoreReport &)> report; // may be empty
  // Told once, before any record is offered, where records begin that cannot be read (see
  // unreadableRecords). May be empty.
  std::function<void(const std::vector<std::size_t> &lines)> unreadable;
};

// The schedule a customized entry gets when its record has no full copy (a record of an older
// version): "1x per day" with no weekday.
inline constexpr const char *restoredSchedule = "000000000000000x00";

// How a backup record's kind line is shown: the kind's label, or the line itself when a hand
// edit left something else there.
std::string backupKindLabel(const std::string &kindLine, const LanguageTable &texts);

// The question the window asks for a record (text 185 under the record's lines, and text 587
// before it when the name is taken now).
// `kindLabel` names the kind where the front end knows it better than the record's kind line
// (a kind word of another way to start); empty: backupKindLabel.
std::string restoreQuestion(const BackupRecord &record, const LanguageTable &texts,
                            const std::string &kindLabel = {});

// The walk of "Reverse Startup Changes": offers each record, oldest first, and restores what
// the answers take (`toolbox` is the main window's, for the current time). A
// record with a full copy puts back exactly what was recorded: a Run entry's files through the
// platform's snapshot, a customized entry's schedule line and switch, a logon item's switch (a
// record whose kind line is its kind's word) through its source. One without a copy goes
// back as older versions put it: the command into its Run key, or a customized entry with
// restoredSchedule and the current time. An entry that holds the name now (in any case) is
// recorded first and then replaced. A record whose restore fails (or whose copy is damaged)
// stays; a restored one leaves the file, which is written once, at the end. A record whose copy
// says the entry is already exactly what it would put back (a restore cut short after its write)
// only leaves the file. A record header with no kind line behind it is not offered; a last record
// cut short is removed only as far as it goes, and a fifth line that begins the next record stays
// with that record. The walk costs one pass over the records besides what each restore does.
// Throws FileError when the backup file cannot be read, is not recognised or cannot be written.
ReversalResult reverseStartupChanges(EntryStore &store, Toolbox &toolbox,
                                     const ReversalAnswers &answers);

// Restores the record with that number (as the walk counts them) and no other.
ReversalResult restoreRecord(EntryStore &store, Toolbox &toolbox, std::size_t number);

// How many records the walk offers.
std::size_t offeredRecords(const std::vector<std::string> &backupLines);

// Where the records begin that cannot be read, as indexes of the lines: lines that belong to no
// record (a record whose header was changed by hand, so that it is not offered) count once up to
// the next header, and so does a last record cut short. Blank lines between records do not
// count. Such records and their copies are left as they are.
std::vector<std::size_t> unreadableRecords(const std::vector<std::string> &backupLines);

// The line of the backup file that the body's line at that index is (counted from 1).
inline std::size_t backupFileLine(std::size_t index) { return index + 4; }

// A backup record's kind line as a kind: "0" the machine's, "1" the user's, "2" customized;
// nothing for any other line.
std::optional<EntryKind> backupKindOf(const std::string &kindLine);

} // namespace lw
