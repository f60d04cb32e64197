#pragma once
// What the entry commands do, shared by the window and the command line: switching an entry off
// and on, saving a new or edited entry, deleting one, and the checks a new entry must pass. Each
// acts on the entry itself (its kind and the exact bytes of its name and command) and reports what
// happened; the front ends ask their questions before and tell the outcome after.

#include "platform/Platform.h"
#include "storage/EntryStore.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// Run-key entries go through the platform's startup state; a customized entry is listed under
// keys::disabledCustomized while it is off, which the launcher honours on its next reload.
// True when the entry is in the asked state afterwards. Throws FileError when the store of the
// customized switches cannot be read or changed.
// An All Users entry of the machine's 32-bit Run key is switched with view32.
bool setEntryEnabled(const Platform &platform, EntryKind kind, const std::string &name,
                     bool enabled, bool view32 = false);

// The whole schedule line (schedule characters and time stamp) of the last block of
// customLines whose name line is the name; empty when no block has it.
std::string storedScheduleLine(const std::vector<std::string> &customLines,
                               const std::string &name);

// An entry as the user asks for it to be saved.
struct EntryValues {
  EntryKind kind = EntryKind::CurrentUser;
  std::string name;
  std::string command;
  std::string schedule; // customized entries: the schedule characters, without the time stamp
  // Of an entry being edited: it is in the machine's 32-bit Run key (see RunEntry::view32). An
  // edit keeps it there; a new entry, or one moved to this kind, goes to the usual key.
  bool view32 = false;
  // A Run-key entry made from an installed application (Applications::find's id): it is written
  // as a copy of that application's own entry (StartupState::writeFromApplication). Empty for
  // any other entry.
  std::string application;
};

enum class SaveOutcome {
  Saved,
  LineBreak,      // the name or command holds a line break; nothing was written
  NoCommand,      // the command is empty or blanks only; nothing was written
  NotUtf8,        // the command of a Run-key entry is not UTF-8, as its desktop file must be
  BadName,        // the name cannot be one of the kind's (a file name); nothing was written
  NameTooLong,    // the name is longer than longestName; nothing was written
  CommandTooLong, // the command is longer than longestCommand; nothing was written
  NameUsed,       // another entry of the kind has the name, in any case; nothing was written
  NotRemoved,     // an edit whose old entry could not be removed; nothing was written
  WriteFailed,    // the entry could not be written; an edit's old entry is in the backup file
};

// No command needs more. A longer one is refused rather than written where every reader must
// hold it whole; escaped for a desktop file it still fits far below what a session reads.
inline constexpr std::size_t longestCommand = 64 * 1024;

// The longest name, in bytes, an entry of the kind may have: where the platform's names are
// file names, what the file system leaves beside the suffix; otherwise longestCommand.
std::size_t longestName(const StartupState &startup, EntryKind kind);

// What stops an entry from being saved before anything is asked or written: LineBreak,
// NoCommand, NotUtf8, BadName, NameTooLong, CommandTooLong, or Saved when it may be saved. An
// edit that keeps the name and kind keeps the name its entry already has.
SaveOutcome refusalOf(const StartupState &startup, const std::optional<EntryValues> &old,
                      const EntryValues &entry);

// Whether another entry of the entry's kind has its name, in this or any other case of ASCII
// letters: Run values compare so, and two files of one name but for case would be two entries
// for the user but one for Windows. The entry's own old name is no other entry, so a rename
// that changes only the case is not refused.
bool nameUsed(EntryStore &store, const std::optional<EntryValues> &old, const EntryValues &entry);

// Writes the entry: a new one when `old` is empty, else in place of `old`. An edit that keeps
// a Run-key entry in its key changes only its name and command and keeps everything else about
// it; any other edit records and removes the old entry and writes the new one, and a
// customized entry keeps its switch. `customizedWritten` runs as soon as the customized
// entries file has changed. Refuses what refusalOf and nameUsed refuse. Throws FileError when a
// data file cannot be used.
SaveOutcome saveEntry(EntryStore &store, const std::optional<EntryValues> &old,
                      const EntryValues &entry, const std::function<void()> &customizedWritten);

// Records and removes the entry (EntryStore::removeWithBackup). `removed` runs as soon as it is
// gone, or found gone already, before anything else: a front end's timer must not write back its
// copy of the customized entries meanwhile. Once it is gone the companion starter's entry (the
// program file starterFile beside this program) follows the customized entries, as after every
// change. Throws FileError as removeWithBackup, and when the customized entries cannot be read
// for the starter afterwards.
RemovalOutcome deleteEntry(EntryStore &store, const EntryValues &entry,
                           std::string_view starterFile, const std::function<void()> &removed = {});

} // namespace lw
