#pragma once
// The byte layout of the customized entries file and of the backup file, and the small pure
// helpers that every reader of their lines shares (the store, the entry dialog, the timer).

#include "platform/Clock.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

inline constexpr const char *customEntriesFileName = "0013cst.ini";
inline constexpr const char *backupFileName = "0013bkp.ini";

inline constexpr const char *customEntriesHeader = "Kestrumsoft Launchwright - Customized Entries";
inline constexpr std::size_t customEntriesRuleLength = 46;
inline constexpr const char *backupHeader = "Kestrumsoft Launchwright - Backup File";
inline constexpr std::size_t backupRuleLength = 39;

// The fourth line of every customized block. Nobody reads it; it only has to be there.
inline constexpr const char *blockSeparator = "=====";
inline constexpr std::size_t linesPerBlock = 4;

inline constexpr const char *recordHeaderFormat = "Deleted or changed on %d/%d/%d at %d:%d:";
// A backup line that starts with this begins a record: header, name, command, kind, empty.
inline constexpr std::string_view recordMarker = "Deleted or";
inline constexpr std::size_t linesPerRecord = 5;

// The reasons of the FileErrors that refuse to touch a file; the front end may recognise them
// to show its own texts.
inline constexpr const char *unrecognisedContentReason =
    "the content is not recognised (the first line is not the expected header), so the file "
    "is left unchanged; please correct or replace it";
inline constexpr const char *lineBreakReason =
    "a name or command cannot contain a line break; nothing was written";

// True when the text holds a CR or an LF: written into one of the data files it would split a
// block or a record and shift everything behind it.
bool containsLineBreak(std::string_view text);

// How many of the lines form complete four-line blocks. A hand-edited file may end in an
// incomplete block; only lines [0, completeBlockLines) may be taken as name, command, schedule
// line and separator. The lines behind them are kept and written back unchanged, but they
// are never started.
std::size_t completeBlockLines(const std::vector<std::string> &customLines);

// One block of customLines, as the startup list shows it.
struct CustomEntry {
  std::string name;
  std::string command;      // empty when an incomplete block has no command line
  std::string scheduleLine; // the 18 schedule characters, then the 12 of lastStart
  bool complete = true;     // false for a trailing incomplete block: shown, never started
};

// Every block in file order, the trailing incomplete one (if any) last with complete = false.
std::vector<CustomEntry> entriesOf(const std::vector<std::string> &customLines);
// The same, taking the lines' texts instead of copying them: a long list is not held twice.
std::vector<CustomEntry> entriesOf(std::vector<std::string> &&customLines);

// The body of a data file, as read.
struct DataFileBody {
  // False when the file's first line is not the header: the file counts as holding nothing,
  // and it must not be written over. An empty file and one that starts with a UTF-8
  // byte-order mark before the header are recognised.
  bool recognised = true;
  std::vector<std::string> lines; // everything after the three header lines
};

DataFileBody parseDataFile(std::string_view bytes, std::string_view header);

// The exact bytes of each file. Throw nothing; callers refuse lines with a line break first.
std::string customEntriesBytes(const std::vector<std::string> &customLines);
std::string backupBytes(const std::vector<std::string> &backupLines);

// The first line of a backup record, without leading zeros.
std::string recordHeader(const LocalTime &time);

// True when the line begins a backup record (a line shorter than the marker is compared whole).
bool beginsRecord(std::string_view line);

} // namespace lw
