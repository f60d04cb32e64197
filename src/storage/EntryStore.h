#pragma once
// The program's own store: the customized entries file "0013cst.ini" and the backup file
// "0013bkp.ini" beside the program, used by the entry commands, the timer, the reversal and the
// command line. The store never asks or tells anything: it reports what happened, and the front
// ends talk to the user.
//
// How the files are treated, for every reader of customLines and backupLines:
// - Every operation starts from the file on disk; nothing is cached between commands.
// - Reading accepts LF and CR LF, a last line without an end, a UTF-8 byte-order mark before
//   the header and an empty (0-byte) file, which holds nothing.
// - A file whose first line is not the header reads as holding nothing, but no write ever
//   replaces it: writeEntries, writeBackupFile and everything built on them throw a FileError
//   with unrecognisedContentReason and leave the file as it was.
// - customLines holds every body line as read. Blocks are taken by position, four lines each;
//   only the first completeBlockLines(customLines) lines form blocks that may be started. A
//   trailing incomplete block (a hand edit) is shown by the list (entriesOf), never started,
//   written back line for line and stays last: addEntry puts new blocks before it, and
//   removeEntry removes it when its first line is the name. Of complete blocks, the last
//   separator is always written as "====="; the file ends without a line end unless its last
//   line is empty.
// - Writes replace the file atomically (old or new content, never a torn file) and throw a
//   FileError when they fail. Add, remove, the backup append and the end of the reversal each
//   hold the file's FileLock around their read-change-write; writeEntries and writeBackupFile
//   hold it around the write.
// - No line holding a line break is ever written; see containsLineBreak.

#include "BackupCopies.h"
#include "EntryFormat.h"
#include "platform/Platform.h"
#include "support/LanguageTable.h"
#include "support/Toolbox.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lw {

enum class EntryKind { AllUsers = 0, CurrentUser = 1, Customized = 2 };

// The Run key of a kind that has one: the machine's for All Users (its 32-bit view for an entry
// found there), else the user's.
inline RegistryRoot rootOf(EntryKind kind, bool view32 = false) {
  if (kind != EntryKind::AllUsers)
    return RegistryRoot::CurrentUser;
  return view32 ? RegistryRoot::LocalMachine32 : RegistryRoot::LocalMachine;
}

enum class RemovalOutcome {
  Removed,         // recorded in the backup file and gone from where it was
  NothingToRemove, // no entry of that kind has the name; nothing was recorded or changed
  Refused,         // the name or command holds a line break; nothing was written
  Failed           // it could not be removed: it is still where it was, and no record is kept
};

class EntryStore {
public:
  explicit EntryStore(const Platform &platform);
  ~EntryStore();
  EntryStore(const EntryStore &) = delete;
  EntryStore &operator=(const EntryStore &) = delete;

  static constexpr const char *caption = "Kestrumsoft Launchwright";

  std::vector<std::string> customLines; // body of 0013cst.ini
  std::vector<std::string> backupLines; // body of 0013bkp.ini
  Toolbox toolbox;
  LanguageTable texts;

  // Throws FileError when the file cannot be read; customLines is then empty.
  void readEntries();
  // Throws FileError when the file cannot be written, when its content on disk is not
  // recognised, or when a line holds an LF.
  void writeEntries();
  // Appends one block at the end of the complete blocks. Throws FileError (lineBreakReason)
  // without writing when any of the three texts holds a line break: callers check
  // containsLineBreak first and show text 585, this is the last guard.
  void addEntry(std::string name, std::string command, std::string scheduleLine);
  // Removes every block whose name line is exactly the name; rewrites the file even when none.
  void removeEntry(const std::string &name);
  // One read-change-write of the entries file under its lock: `change` gets the lines on disk
  // (none, and false, when the file does not exist) and edits them in place; they are written.
  void rewriteEntries(
      const std::function<void(std::vector<std::string> &lines, bool fileExisted)> &change);

  // Throws FileError when the file cannot be read; backupLines is then empty.
  void readBackupFile();
  // Same failures as writeEntries.
  void writeBackupFile();
  // Records the entry in the backup file, with its full copy, and removes it by kind, under the
  // backup file's lock, so that a record is kept exactly when the entry went: an entry that is
  // not there is not recorded, and the record of one whose removal fails is taken out again.
  // The caller has asked the user. A removal of a customized entry also forgets whether it was
  // switched off. FileErrors of either file propagate, with the backup file as it was.
  // An All Users entry of the machine's 32-bit Run key is addressed with view32 here and below.
  RemovalOutcome removeWithBackup(EntryKind kind, const std::string &name,
                                  const std::string &command, bool view32 = false);

  // Appends one record of the entry as it is now, with its full copy, to the backup file: what
  // an edit that keeps the entry in place, or a restore over it, writes before it changes it.
  // Gives back the record's lines. Throws FileError as writeBackupFile.
  std::vector<std::string> recordInBackup(EntryKind kind, const std::string &name,
                                          const std::string &command, bool view32 = false);
  // Appends the record of a logon item's switch, its kind line the kind's word and its copy
  // holding `undo` (see RecordCopy): what Reverse Startup Changes gives back to the source. Gives
  // back the record's lines. Throws FileError as writeBackupFile, and (lineBreakReason) when the
  // name or command holds a line break.
  std::vector<std::string> recordSwitch(const std::string &kindWord, const std::string &name,
                                        const std::string &command, const std::string &file,
                                        const std::string &undo);
  // Takes the last record of exactly these lines out of the backup file again, with its copy:
  // a record made for a change that did not happen.
  void takeOutRecord(const std::vector<std::string> &record);

  // Everything needed to write the entry back as it is now; nothing when it is not there or
  // the platform cannot take it.
  std::optional<RecordCopy> copyOf(EntryKind kind, const std::string &name, bool view32 = false);

  // Whether the store of the kind holds an entry of exactly this name.
  bool holdsEntry(EntryKind kind, const std::string &name, bool view32 = false);
  // The names of the kind's entries that are this name but for the case of ASCII letters, as
  // Run values compare (the name itself included when it is there).
  std::vector<std::string> namesLike(EntryKind kind, const std::string &name, bool view32 = false);

  std::string customEntriesPath() const;
  std::string backupPath() const;
  std::string copiesPath() const;

  // A record the reversal restored: where it began in the lines read at the start, and its lines.
  struct TakenOut {
    std::size_t at = 0;
    std::vector<std::string> lines;
  };
  // The end of a reversal: takes the `takenOut` records and their copies out, holding the lock.
  // When another instance changed more than the end of the file since `readAtStart` was read,
  // they are found by their lines in the file's current content, so that nothing the other
  // instance recorded is lost.
  void finishReversal(const std::vector<std::string> &readAtStart,
                      const std::vector<TakenOut> &takenOut);

  const Platform &system() const { return platform; }

private:
  // Under the caller's lock: read a file for a change that will be written back, refusing one
  // whose content is not recognised before anything is done; and write it back without
  // reading it again.
  void loadEntriesForChange();
  void saveEntries();
  void loadBackupForChange();
  void saveBackup();
  // Gives back the name of the copy it wrote, empty when it wrote none.
  std::string appendRecord(EntryKind kind, const std::string &name, const std::string &command,
                           const std::optional<RecordCopy> &copy);
  std::string appendRecord(const std::string &kindLine, const std::string &name,
                           const std::string &command, const std::optional<RecordCopy> &copy);
  // saveBackup after appendRecord: a record that cannot be written takes its copy with it.
  void saveRecord(const std::string &copyName);
  // Takes the record at p out of backupLines and its copy off the disk.
  void eraseRecord(std::size_t p, std::size_t size);

  const Platform &platform;
};

} // namespace lw
