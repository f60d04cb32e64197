#pragma once
// The rows of the other ways a program starts at logon, as both front ends show and change them:
// what each source lists, its kind's label and count line, its Status, and the commands a source
// may or may not support.

#include "entries/StartupList.h"
#include "entries/StartupStatus.h"
#include "platform/LogonSources.h"
#include "platform/Platform.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lw {

struct LogonListing {
  std::vector<StartupEntry> rows; // in the sources' order, each with its logon item
  // Rows of each kind that was asked, in the order the sources were asked.
  std::vector<std::pair<LogonSourceKind, std::size_t>> counts;
  // One sentence for each source that could not be asked, and that source's kind.
  std::vector<std::string> unavailable;
  std::vector<LogonSourceKind> unavailableKinds;
  // Those sentences of sources that are there but refused: their items may start all the same.
  std::vector<std::string> refusals;
};

// Which rows a listing holds: the sources of some kinds only, and whether the items the
// operating system's own packages ship and enable are among them.
struct LogonFilter {
  std::optional<std::string> only; // a kind's word

  bool systemComponents = false;
};

// What each source the filter lets through answered, asked one after the other; a source whose
// listing throws answers that it cannot be asked, with the exception's text. This touches
// nothing but the sources, so a window may ask on a thread of its own.
struct LogonAnswer {
  LogonSourceKind kind;
  LogonSourceListing listing;
};
std::vector<LogonAnswer> askLogonSources(const std::vector<LogonSource *> &sources,
                                         const std::optional<std::string> &only);
// The rows of those answers, counted by kind.
LogonListing logonRowsOf(std::vector<LogonAnswer> answers, const LanguageTable &texts,
                         bool systemComponents);
// Both in one.
LogonListing readLogonRows(const std::vector<LogonSource *> &sources, const LanguageTable &texts,
                           const LogonFilter &filter);

// The count lines of the kinds that were asked, one a line, for the end of the counts; a kind
// whose source could not be asked has a dash for its count.
void appendLogonCounts(std::string &statusText, const LogonListing &listing,
                       const LanguageTable &texts);

// A source's text in the table's language.
std::string logonText(const LogonText &text, const LanguageTable &texts);
std::string logonKindLabel(LogonSourceKind kind, const LanguageTable &texts);
// The label of the kind a backup record's kind line names: a source's kind where the line is its
// word (a switch recorded for it), else as backupKindLabel shows the line.
std::string recordKindLabel(const std::string &kindLine, const std::vector<LogonSource *> &sources,
                            const LanguageTable &texts);

// The Status cell and sentence of a row that has a logon item.
EntryStatus logonStatus(const LogonItem &item, const LanguageTable &texts);

// What a source did with a command on one of its items.
enum class LogonOutcome {
  Done,
  NotSupported, // the source cannot do it: nothing was tried
  Failed,       // it was tried and did not happen
  Refused       // the source cannot carry it out whole, and changed nothing: the result says why
};

struct LogonSwitchResult {
  LogonOutcome outcome = LogonOutcome::Done;
  std::string why; // of a refusal: the source's sentence in the table's language
};

// Switches the item off or on through the source that listed it (one of the platform's). What
// the source says a switch-off will change is recorded in the backup file first, for Reverse
// Startup Changes; the record goes again when the switch does not happen.
LogonSwitchResult switchLogonItem(const Platform &platform, const LanguageTable &texts,
                                  const LogonItem &item, bool enabled);
// Starts the item now through the source that listed it.
LogonOutcome startLogonItem(const std::vector<LogonSource *> &sources, const LogonItem &item);
// The file a person opens to change an item by hand, as the source that listed it says. Empty
// when it has none.
std::string logonFileToOpen(const std::vector<LogonSource *> &sources, const LogonItem &item);

} // namespace lw
