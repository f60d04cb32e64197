#pragma once
// What the main window's list shows, read afresh from its three sources: the customized
// entries file, then the user's Run key, then the machine's Run key.

#include "platform/LogonSources.h"
#include "storage/EntryStore.h"
#include "support/FileError.h"
#include "support/LanguageTable.h"
#include "support/Toolbox.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

// The companion starter's value in the user's Run key. It brings the program up at logon while
// customized entries exist.
inline constexpr const char *starterValueName = "Launchwright";

struct StartupEntry {
  EntryKind kind = EntryKind::CurrentUser;
  std::string name;    // exact bytes
  std::string command; // exact bytes
  // Whether and why not the entry starts: at logon for the Run keys, by its rule for
  // customized entries (Starts, Disabled, ProgramMissing or NeverDue).
  StartVerdict verdict = StartVerdict::Starts;
  std::string detail;           // see RunEntry::detail
  std::string file;             // the autostart file; empty for customized entries
  std::string workingDirectory; // see RunEntry::workingDirectory
  std::string scheduleLine;     // customized entries: schedule characters and last start
  // Customized entries: the rule, last and next start and a failed start, in words; and the
  // part of it about now and next (the failed and the next start), for the Status cell.
  std::string timing;
  std::string timingBrief;
  // The companion starter's own entry, which some session cannot start from the starter's
  // folder: the verdict is ProgramMissing and the detail the characters of the path to blame.
  bool starterPathRefused = false;
  std::string displayName; // see RunEntry::displayName
  bool nameless = false;   // see RunEntry::nameless
  std::string icon;        // see RunEntry::icon
  // A row of another way a program starts at logon (a systemd unit, a session script, ...):
  // kind means nothing then, and every command goes to the source that listed it.
  std::optional<LogonItem> logon;
  bool view32 = false; // see RunEntry::view32
};

// Whether two rows are the same entry: a row of the list's own by kind, name and registry view
// (a machine's 32-bit Run key may hold the same name as its other one); a row of another way to
// start by its source, name and file (two session scripts may share a name).
inline bool sameEntry(const StartupEntry &a, const StartupEntry &b) {
  if (a.logon || b.logon)
    return a.logon && b.logon && a.logon->source == b.logon->source && a.name == b.name &&
           a.file == b.file;
  return a.kind == b.kind && a.name == b.name && a.view32 == b.view32;
}

// The name to show for an entry: its display name, or the name itself where it has none; nothing
// where its Name is empty, as desktops show it.
inline const std::string &shownName(const StartupEntry &entry) {
  static const std::string nothing;
  return entry.nameless ? nothing : entry.displayName.empty() ? entry.name : entry.displayName;
}

struct StartupListing {
  std::vector<StartupEntry> rows; // in list order
  std::size_t customizedCount = 0;
  std::size_t notStarting = 0; // rows whose verdict is not Starts
  // The counts, one kind a line, an empty line, the total, and when some entries will not
  // start, a line with their number.
  std::string statusText;
  // Why the store of the customized entries' switches could not be read, when there are
  // customized entries and it could not: their rows are Unreadable then, with this in their
  // detail.
  std::optional<FileError> switchesUnreadable;
};

// The words scripts and records use for the list's own kinds: "customized", "user", "machine".
const char *wordOfKind(EntryKind kind);
std::optional<EntryKind> kindOfWord(std::string_view word);
// The same for a row, whose kind may be another way to start: its source's word then.
std::string kindWordOf(const StartupEntry &row);

// The label of column 1 for a kind (texts 144, 149, 154).
std::string kindLabel(EntryKind kind, const LanguageTable &texts);
// The same for a row: an entry of the machine's 32-bit Run key says so (text 711).
std::string kindLabel(const StartupEntry &entry, const LanguageTable &texts);

// Every row with its verdict: the Run keys as the platform's startup state lists them (one call
// each), customized entries Disabled when switched off, else ProgramMissing when the startup
// state cannot find their program, else NeverDue when their rule can never come due. The
// starter's entry (for the file starterFile beside this program; none when empty) is
// ProgramMissing, unless switched off, when some session cannot start it from its folder.
// Throws FileError when the customized entries file cannot be read; the Run keys never fail (a
// key that cannot be listed has no rows), nor does the store of the switches (see
// StartupListing::switchesUnreadable).
StartupListing readStartupList(const Platform &platform, Toolbox &toolbox,
                               const LanguageTable &texts, std::string_view starterFile = {});

// Enters the starter (the program file starterFile beside this program) while customized
// entries exist and removes it when none are left. Its command is the file's path as one word,
// never read as typed text. An entry that already has the command is left alone, so that
// whatever else the user set on it (switched off, other keys) stays. A failed write or
// deletion is silent.
void updateStarterValue(Toolbox &toolbox, bool customizedEntriesExist,
                        std::string_view starterFile);

} // namespace lw
