#pragma once
// The full copies of backup records. A record of the backup file keeps only name, command and
// kind, the format older versions and hand edits rely on; what it takes to write the entry
// back exactly lives in one file per record in the folder "0013bkp.d" beside the backup file.
// A copy is named for its record's own four lines (a hash, and the ordinal among records of
// the same four lines), so that a record pruned by hand loses its copy with it: a copy no
// record names is removed at the next write of the backup file, and a record without a copy
// restores from its own lines, as records of older versions always did.
//
// A copy file is read and written like every data file: atomically replaced, never through a
// link, read only up to copyReadLimit, and a copy that is not understood is a FileError.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lw {

inline constexpr const char *copiesFolderName = "0013bkp.d";
inline constexpr const char *copyHeader = "Kestrumsoft Launchwright - Backup Copy";
// Two autostart files at their largest and room to spare.
inline constexpr std::size_t copyReadLimit = 4u << 20;
inline constexpr const char *damagedCopyReason =
    "this full copy of a backup record is damaged, so the entry is not restored from it; delete "
    "the copy to restore the record from its own lines, or remove the record with Edit Backup "
    "File";

struct RecordCopy {
  std::string snapshot;     // a Run-key entry: the platform's snapshot of it
  std::string scheduleLine; // a customized entry: its whole schedule line
  bool disabled = false;    // a customized entry: switched off
  std::string file;         // where the entry was, for messages; may be empty
  // An All Users entry of the machine's 32-bit Run key (Windows). Written only when set, so
  // that every other copy keeps its old bytes; a record without it is of the 64-bit key.
  bool view32 = false;
};

// The copy file's name for the record that begins at line p of the backup file's body.
std::string copyFileName(const std::vector<std::string> &backupLines, std::size_t p);

// The bytes of a copy for a record of these four lines.
std::string copyBytes(const std::vector<std::string> &recordLines, const RecordCopy &copy);

// The copy of the record at p, nothing when it has none. Throws FileError when the copy is
// there but is not a regular file, is too large, cannot be read or is damaged.
std::optional<RecordCopy> readCopy(const std::string &folder,
                                   const std::vector<std::string> &backupLines, std::size_t p);

// Writes the copy of the record at p. Throws FileError when it cannot.
void writeCopy(const std::string &folder, const std::vector<std::string> &backupLines,
               std::size_t p, const RecordCopy &copy);

// Before the record at p leaves the lines: its copy goes and the copies of later records of the
// same four lines move down one ordinal, so that each stays with its record.
void forgetCopy(const std::string &folder, const std::vector<std::string> &backupLines,
                std::size_t p);

// Removes every copy that no record of the lines names; leaves any other file alone.
void removeStrayCopies(const std::string &folder, const std::vector<std::string> &backupLines);

// The first line of every record the reversal offers, in order.
std::vector<std::size_t> recordStarts(const std::vector<std::string> &backupLines);

} // namespace lw
