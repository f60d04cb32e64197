#pragma once
// Notices every change to what starts at logon, whoever makes it, and keeps it in the change
// journal. A look reads the sources, compares them with what the last look saw (kept in a file,
// so that every process of the program and every start compares with the same), records the
// differences and remembers the new state. The program's own changes are made between two looks
// under one hold: the first records what others did before, the second what the change did, by
// the front end that made it. Anything a look finds that no such change explains was done by
// another program.

#include "platform/Platform.h"
#include "storage/ChangeJournal.h"
#include "support/LanguageTable.h"
#include "support/TextFile.h"
#include "support/Toolbox.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace lw {

inline constexpr const char *changeJournalFileName = "startup-changes.log";
inline constexpr const char *seenFileName = "startup-seen.txt";

// The sources a look reads: the list's own entries (customized, the user's and the machine's,
// read together), and the other ways a program starts, by their kinds' words.
struct GuardScope {
  bool entries = true;
  bool allLogon = false;
  std::vector<std::string> logonWords;

  static GuardScope everything() { return {true, true, {}}; }
  static GuardScope listEntries() { return {true, false, {}}; }
  static GuardScope logonKind(std::string word) { return {false, false, {std::move(word)}}; }
};

// One entry as a look sees it. `where` tells apart entries of one kind and name: a logon item's
// file, a machine entry of the 32-bit Run key.
struct SeenEntry {
  std::string kind;
  std::string name;
  std::string where;
  bool on = true;
  std::string command;
  bool known = true; // whether `on` could be read (an unreadable file's cannot)

  auto key() const { return std::tie(kind, name, where); }
};
// What a look saw of each source it read, by group: "entries" or a logon kind's word.
using SeenGroups = std::map<std::string, std::vector<SeenEntry>>;

class StartupGuard {
public:
  StartupGuard(const Platform &platform, Toolbox &toolbox, const LanguageTable &texts,
               std::string_view starterFile);

  // While held, no other look (of this or another process of the program's) reads or records.
  // Throws FileError when the lock cannot be taken.
  class Hold {
  public:
    explicit Hold(const std::string &journal) : lock(journal) {}

  private:
    FileLock lock;
  };
  std::unique_ptr<Hold> hold() const;

  // Reads the sources of the scope and records what changed since the last look as done `by`
  // (a changeBy word); returns the new records. A source never seen before (every source, on the
  // first look of all) is only remembered: what was there already is no change. A source
  // that cannot be asked now keeps what was last seen of it. `atStart`: the changes happened
  // while nothing watched, and are dated "before" now. Throws FileError when the journal or
  // the file of what was seen cannot be read or written.
  std::vector<ChangeRecord> look(const Hold &held, const GuardScope &scope, const char *by,
                                 bool atStart = false);
  // A look in two steps, for a change that may turn out to be refused: what the sources hold
  // now, which writes nothing; and its record, as look makes it.
  struct Sight {
    SeenGroups groups;
  };
  Sight see(const Hold &held, const GuardScope &scope);
  std::vector<ChangeRecord> record(const Hold &held, Sight sight, const char *by,
                                   bool atStart = false);

  const ChangeJournal &journal() const { return changes; }

private:
  const Platform &platform;
  Toolbox &toolbox;
  const LanguageTable &texts;
  std::string starter;
  ChangeJournal changes;
  std::string seenPath;
};

// The current time in UTC as the journal writes it.
std::string journalTimeNow();

} // namespace lw
