#pragma once
// The command line's operations on the same core as the window: what they print, what they
// refuse and what they change. No Qt here; CommandLine.cpp parses the arguments and calls in.
// Every operation may throw FileError (a data file that cannot be read or written); the
// caller reports it with exit status 1.

#include "entries/StartupGuard.h"
#include "entries/StartupImpact.h"
#include "entries/StartupList.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/Prompter.h"
#include "storage/EntryStore.h"
#include "support/LanguageTable.h"

#include "TableFit.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw::cli {

inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = 1; // a write failed, or a checked entry will not start
inline constexpr int exitUsage = 2;   // the request was refused before anything was written

struct Result {
  int status = exitSuccess;
  std::string out;   // for standard output
  std::string error; // one line for standard error, without its line end
  // Lines for standard error that change nothing about the status (a source that could not be
  // asked), each without its line end.
  std::vector<std::string> notes;
};

// No one is there to answer, and the core asks nothing: a question that reached here anyway
// would be answered No, and a notice goes unseen.
class CommandLinePrompter : public Prompter, public FileChooser {
public:
  bool ask(const std::string &, const std::string &) override { return false; }
  void tell(const std::string &, const std::string &) override {}
  std::optional<std::string> chooseFile() override { return std::nullopt; }
};

struct Context {
  const Platform &platform;
  const LanguageTable &texts;
  std::string_view starterFile; // the companion starter's file name beside the program
};

// Which rows list and check show: every kind, or the one kind --kind names, which may be one of
// the other ways a program starts at logon ("systemd-unit", ...).
struct Kinds {
  std::optional<EntryKind> entry;
  std::optional<std::string> logon; // a logon source's word
  // Of machine entries on Windows: only those of the 32-bit (true) or the usual (false) Run key.
  std::optional<bool> view32;
  bool all() const { return !entry && !logon; }
};
std::optional<Kinds> kindsOfWord(std::string_view word);
// The words of the other ways to start that --kind takes, those of either system as the help
// names them: a word of the other system lists nothing and finds no entry here. Each is the word
// its source gives its kind.
inline constexpr std::string_view logonWords[] = {"systemd-unit",   "session-script", "boot-job",
                                                  "startup-folder", "run-once",       "logon-task"};
// Every word --kind takes, for messages.
inline constexpr const char *kindWords = "customized, user, machine, systemd-unit, session-script, "
                                         "boot-job, startup-folder, run-once or logon-task";

// Every entry in the window's order with its verdict and, for customized entries, their timing
// as of `now`: the rows the window's list shows after a refresh. This is no run of the timer,
// so no entry counts as started in it and none has a failed start.
std::vector<StartupEntry> startupRows(Context &context, const LocalTime &now);

// How list prints: tab-separated lines without a header for scripts, aligned columns under a
// header for a person at a terminal, or one JSON array.
enum class ListForm { Lines, Table, Json };

// A cell of a text listing with every byte that could end its line or its column written as an
// escape: a tab as \t, line feed \n, carriage return \r, any other control byte (and DEL)
// \xHH, so that no name can make a row of its own. Everything else, the backslash too, is
// printed as it is: a Windows command must read and copy as the user typed it.
std::string escapedCell(std::string_view bytes);
// Rows of cells as lines: tab-separated, or with `aligned` padded to columns by the width of
// their UTF-8 characters. A row may have fewer cells than the widest; none ends in blanks.
std::string cellLines(const std::vector<std::vector<std::string>> &rows, bool aligned);

// The one entry of this kind and name, or why there is not exactly one (exit status 2).
struct Found {
  std::optional<StartupEntry> entry;
  Result refusal;
};
// `view32`, when given, picks a machine entry of the 32-bit (true) or the usual (false) Run key.
Found findEntry(Context &context, EntryKind kind, const std::string &name,
                std::optional<bool> view32 = std::nullopt);

// The table is cut to `width` (see TableFit.h); the other forms are always whole.
// The rows that check shows: those named `name` (every row when no name is given) of the kinds
// asked for, the window's rows first. Every command that takes a bare name finds it here.
std::vector<StartupEntry> rowsNamed(Context &context, const std::optional<std::string> &name,
                                    const Kinds &kinds, Result &result);
// The one kind that has entries named `name`, for a command given a name without --kind; or
// why there is none (no such name, or several kinds have it: exit status 2).
struct NamedKind {
  std::optional<Kinds> kinds;
  Result refusal;
};
NamedKind kindOfName(Context &context, const std::string &name);
// The reason check gives for a row, in the words of the command line: a command where the
// window's reason names a menu item; with `bare`, the command names the entry by its name alone.
std::string terminalReason(const StartupEntry &row, Context &context, bool bare);

// Which records changes prints: those seen since a time (UTC, as the journal writes it), of
// one kind (a --kind word).
struct ChangeFilter {
  std::optional<std::string> since;
  std::optional<std::string> kind;
};
// The change journal, oldest first: tab-separated lines, aligned under a header on a terminal,
// or one JSON array whose objects have exactly the record's fields.
Result listChanges(Context &context, ListForm form, const ChangeFilter &filter);
// Makes a change between two looks of the change journal's under one hold: the first records
// what others changed before, the second records what the change did as the command line's.
// Only a change that succeeds is recorded: one that is refused or fails writes nothing. A
// journal that cannot be kept adds a note and stops nothing.
Result journaled(Context &context, const GuardScope &scope, const std::function<Result()> &change);

Result listEntries(Context &context, ListForm form, const Kinds &kinds = {},
                   const TableWidth &width = {});
Result checkEntries(Context &context, const std::optional<std::string> &name,
                    const Kinds &kinds = {});
// Switches an item of another way a program starts at logon, where its source can.
Result switchLogonEntry(Context &context, const std::string &kindWord, const std::string &name,
                        bool enabled);
Result addEntry(Context &context, EntryKind kind, const std::string &name,
                const std::string &command, const std::optional<std::string> &rule,
                const std::string &application = {});
// The same for an installed application (Applications::find's id): a user or machine entry is
// a copy of its own entry; the name and command default to its own.
Result addFromApplication(Context &context, EntryKind kind, const std::string &application,
                          const std::optional<std::string> &name,
                          const std::optional<std::string> &command,
                          const std::optional<std::string> &rule);
Result deleteEntry(Context &context, EntryKind kind, const std::string &name,
                   std::optional<bool> view32 = std::nullopt);
Result switchEntry(Context &context, EntryKind kind, const std::string &name, bool enabled,
                   std::optional<bool> view32 = std::nullopt);
// A Run entry's own file byte for byte (where a platform keeps Run entries as values, the
// command); a customized entry's name, command and start rule in words.
Result showEntry(Context &context, EntryKind kind, const std::string &name,
                 std::optional<bool> view32 = std::nullopt);
Result listBackup(Context &context, bool json);
// What each entry cost at the last logon, heaviest first, or every recorded logon; and the
// recording itself, measuring until `seconds` after the session's start (default a minute).
Result showImpact(Context &context, bool json, bool logons);
Result recordImpact(Context &context, std::optional<long long> seconds);
// The last recorded logon, read into `recordings`; none when nothing was recorded.
const LogonRecording *lastLogon(Context &context, std::vector<LogonRecording> &recordings);
// The "impact" object of list --json.
void appendImpactJson(std::string &out, const EntryImpact &impact);
Result restoreRecord(Context &context, long long number);

} // namespace lw::cli
