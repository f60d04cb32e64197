#pragma once
// The full copies of backup records. A record of the backup file keeps only name, command and
// kind, the format older versions and hand edits rely on; what it takes to write the entry
// back exactly lives in one file per record in the folder "0013bkp.d" beside the backup file.
// A copy is named for its record's own four lines (a hash, and the ordinal among records of
// the same four lines). A record without a copy restores from its own lines, as records of
// older versions always did. A copy goes only with a record this program takes out: one that
// no record names (its record pruned, damaged or cut off by hand) is left as it is, so that a
// record put right again finds its copy.
//
// A copy file is read and written like every data file: atomically replaced, never through a
// link, read only up to copyReadLimit, and a copy that is not understood is a FileError. The
// folder itself is never used through a link: it lies in the user's data folder, where a
// process of root's must not be led into a folder of another's choosing.

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

inline constexpr const char *linkedCopiesFolderReason =
    "a link where the folder of full copies belongs; no copy is read or written through it";

struct RecordCopy {
  std::string snapshot;     // a Run-key entry: the platform's snapshot of it
  std::string scheduleLine; // a customized entry: its whole schedule line
  bool disabled = false;    // a customized entry: switched off
  std::string file;         // where the entry was, for messages; may be empty
  // An All Users entry of the machine's 32-bit Run key (Windows). Written only when set, so
  // that every other copy keeps its old bytes; a record without it is of the 64-bit key.
  bool view32 = false;
  // A logon item's switch (a record whose kind line is its kind's word): what its source needs
  // to put the switch back. Written only when set, in place of the snapshot.
  std::string undo;
};

// The copy file's name for the record that begins at line p of the backup file's body.
std::string copyFileName(const std::vector<std::string> &backupLines, std::size_t p);

// The copy file's name of every record of the lines, worked out in one pass over them.
class CopyNames {
public:
  explicit CopyNames(const std::vector<std::string> &backupLines);
  // The name for the record that begins at p, one of recordStarts.
  const std::string &of(std::size_t p) const;

private:
  std::vector<std::size_t> starts;
  std::vector<std::string> names;
};

// The bytes of a copy for a record of these four lines.
std::string copyBytes(const std::vector<std::string> &recordLines, const RecordCopy &copy);

// The copy of the record at p, nothing when it has none; `fileName` is its copyFileName. Throws
// FileError when the copy is there but is not a regular file, is too large, cannot be read or
// is damaged, and when the folder is a link.
std::optional<RecordCopy> readCopy(const std::string &folder, const std::string &fileName,
                                   const std::vector<std::string> &backupLines, std::size_t p);
std::optional<RecordCopy> readCopy(const std::string &folder,
                                   const std::vector<std::string> &backupLines, std::size_t p);

// Writes the copy of the record at p, making the folder where there is none, and gives back the
// copy's file name. Throws FileError when it cannot, and when the folder is a link.
std::string writeCopy(const std::string &folder, const std::vector<std::string> &backupLines,
                      std::size_t p, const RecordCopy &copy);

// Removes the copy of that name: one whose record was never written after all. Nothing is
// removed through a link.
void dropCopy(const std::string &folder, const std::string &fileName);

// Before the records that begin at `taken` (lines of recordStarts, in order) leave the lines:
// their copies go and the copies of later records of the same four lines move down, so that
// each stays with its record. Nothing else is touched, and nothing through a link.
void forgetCopies(const std::string &folder, const std::vector<std::string> &backupLines,
                  const std::vector<std::size_t> &taken);

// The first line of every record the reversal offers, in order.
std::vector<std::size_t> recordStarts(const std::vector<std::string> &backupLines);

} // namespace lw
