#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lw {

// The program's text files are read whole into lines and written back whole.
//
// Reading: LF ends a line, a CR directly before it is dropped, and a last line without an end
// still counts. Writing: CR LF on every platform, through a temporary file beside the target
// that is flushed to disk and then renamed over it, so that a crash or a full disk leaves
// either the old file or the new one.
namespace textfile {

inline constexpr std::size_t noReadLimit = static_cast<std::size_t>(-1);

// The program's own small text files (config.ini, the language file) are far below this; a
// file above it is a mistake or an attack, and is refused rather than loaded.
inline constexpr std::size_t settingsReadLimit = 1024 * 1024;

// The data files (the customized entries, the backup file, the store of settings and switches)
// hold a few hundred bytes an entry: 100,000 entries are far below this. A larger file is
// damage, such as the zeros a crash can leave, and is refused by name instead of being loaded
// at the cost of all memory.
inline constexpr std::size_t dataReadLimit = 256u * 1024 * 1024;

inline constexpr const char *notRegularReason = "not a regular file";

inline constexpr int staleTemporaryAgeSeconds = 10 * 60;

// Throws FileError when the file cannot be opened. A UTF-8 byte-order mark is skipped.
std::vector<std::string> readLines(const std::string &path, std::size_t limit = noReadLimit);

// Splits already loaded bytes the same way.
std::vector<std::string> splitLines(std::string_view bytes);

// Throws FileError when the file cannot be read, when it is anything but a regular file (a
// link to one counts as one) and when it holds more than `limit` bytes, even if it grows past
// the limit while it is read; nothing is loaded then. A FIFO or a device is never waited on.
std::string readBytes(const std::string &path, std::size_t limit = noReadLimit);

#ifndef _WIN32
// The same for the file `name` in the folder open as `folderFd` (AT_FDCWD: the current one), so
// that reading many files of one folder walks only their own names; `pathForErrors` names the
// file in a FileError.
std::string readBytesAt(int folderFd, const char *name, const std::string &pathForErrors,
                        std::size_t limit = noReadLimit);

// The longest file name, in bytes, that the folder's file system takes; for a folder not made
// yet, that of the nearest folder above it.
std::size_t longestFileName(const std::string &folder);

// Removes what killed writes of any "<name><suffix>" in the folder left behind, by the rules
// writeAtomically follows for its own file's: for a folder that other programs read as a whole.
void removeStaleTemporaries(const std::string &folder, std::string_view suffix);
#endif

// Throws FileError (notRegularReason) when something other than a regular file stands at the
// path, following links; a missing file passes. A cheap check before a change is begun.
void requireRegularOrAbsent(const std::string &path);

// At most `length` bytes of the text, cut at a character boundary and marked with "…" when
// cut: for quoting file content in a message.
std::string excerpt(std::string_view text, std::size_t length = 80);

enum class LinkPolicy {
  // A link is kept and the file it points to is replaced. Only a link of this user's or root's
  // is followed, or one in a folder nobody else may change: any other was put there by another
  // user, and a process of root's run with that user's settings would write where they chose.
  Follow,
  Refuse // only a regular file or nothing may stand at the path; anything else is a FileError
};

// Who may read a file that a write creates; a file replaced keeps its own permissions.
enum class NewFileAccess {
  Umask,        // what the process's umask allows: the user's own files
  EveryoneReads // 0644 whatever the umask: files every user's session reads
};

// Replaces the file atomically with exactly these bytes. Throws FileError on any failure, in
// which case the previous file is untouched. A target that exists and is not a regular file
// (through a followed link too) is refused. The temporary is "<name>.XXXXXX", or
// ".launchwright-XXXXXX" when that would be too long a file name. After a successful write,
// temporaries of earlier interrupted writes of the same file are removed: only names of this
// writer's own pattern, owned by this user and untouched for staleTemporaryAgeSeconds: a writer
// keeps touching its temporary until the rename, so a write in progress is never hit.
void writeAtomically(const std::string &path, const std::string &bytes,
                     LinkPolicy links = LinkPolicy::Follow,
                     NewFileAccess access = NewFileAccess::Umask);

#ifndef _WIN32
// What a restore gives a file besides its bytes, in place of what writeAtomically decides: its
// permission bits, and its owner where this process may give a file away (root); where it may
// not, the file stays the writer's own, without complaint.
struct FileStanding {
  std::optional<unsigned> mode;                       // the permission bits
  std::optional<std::pair<unsigned, unsigned>> owner; // user and group ids
};
void writeAtomically(const std::string &path, const std::string &bytes, LinkPolicy links,
                     NewFileAccess access, const FileStanding &standing);
#endif

// Adds the bytes, whole lines, at the end of the file in one write flushed to disk, making the
// file when there is none. A last line that a writer killed mid-write left without its end is
// cut off first, so that a crash costs at most the record it was writing and never glues two
// together. The caller holds the file's FileLock. Throws FileError on any failure.
void appendLines(const std::string &path, const std::string &bytes);
// Joins lines with CR LF after each one.
std::string joinLines(const std::vector<std::string> &lines);

inline constexpr const char *lineEnd = "\r\n";

} // namespace textfile

// An advisory lock on a file path, held for one read-change-write so that two instances of
// the program do not interleave. The lock lives on a companion file "<path>.lock" so that the
// atomic rename of the data file does not drop it. Throws FileError when the lock file cannot
// be created, and when what stands at its name is a link, not a regular file, or a file of
// another user's than this one or root: that could be anything of theirs, or a lock they hold
// to stop every write of ours.
class FileLock {
public:
  explicit FileLock(const std::string &path);
  ~FileLock();
  FileLock(const FileLock &) = delete;
  FileLock &operator=(const FileLock &) = delete;

private:
  std::intptr_t handle;
};

} // namespace lw
