#pragma once
// The other ways a program starts when the user logs on, beside the two Run keys and the
// customized entries: systemd user units, session scripts and boot jobs on Linux; the Startup
// folders, RunOnce and logon tasks on Windows. One reader per source, each asking the component
// that owns it (systemd, cron, the shell, the Task Scheduler) rather than re-reading its rules,
// and each saying what it lists and whether and how an item can be switched.
//
// A source is one file plus one line in its system's makeNativeLogonSources: it names its kind
// (word, label, count line) and its reasons as constants, and says what Edit opens for an item;
// the core shows every source from those alone.

#include "StartupState.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lw {

// A text a source shows: the number of its line in the language file, or, for a source that
// brings its own words, those words in English and in German (every other language shows the
// English ones).
struct LogonText {
  std::int32_t number = 0; // 0: the source's own words
  const char *english = "";
  const char *german = "";
};

// Why an item starts or does not, as its source explains it: the words after the verdict in the
// Status cell, and the sentence of its tooltip. Each source defines its reasons as constants of
// static storage; an item points at one.
struct LogonReason {
  LogonText cell;
  LogonText sentence;
};

// What a source is to everyone else, defined once by the source as a constant of static storage
// whose address names the kind.
struct LogonKind {
  const char *word; // fixed, for scripts: "systemd-unit", "session-script", ...
  LogonText label;  // the Kind column
  LogonText count;  // the count line, before the number
  std::span<const LogonReason *const> reasons; // every reason its items give
};
using LogonSourceKind = const LogonKind *;

// How an item can be switched off and on, where it can be at all.
enum class LogonSwitch {
  None,    // read-only: edit the file or use the owning tool
  Enable,  // systemd enable/disable: the user's own links
  Mask,    // systemd mask/unmask: how a user switches off what others enabled
  Approved // Windows StartupApproved value beside the folder or key
};

struct LogonItem {
  LogonSourceKind source = nullptr; // set from the source that listed it
  // The item's name within its source, exact bytes: the unit's name, the script's or shortcut's
  // file name, the crontab line. Every operation addresses the item by source and name.
  std::string name;
  std::string command; // what it runs: ExecStart, a shortcut's target and arguments, a job
  std::string file;    // the file that holds it (unit file, script, shortcut); may be empty
  // The source's own word for the item's state, as its tool prints it ("enabled", "masked",
  // "enabled-runtime", ...); empty where the source has none.
  std::string state;
  // Starts or Disabled, or ProgramMissing / Unreadable where the source can tell.
  StartVerdict verdict = StartVerdict::Starts;
  const LogonReason *reason = nullptr; // none: the verdict's own sentence
  // More for the reason sentence (the session that reads a file, "32-bit"): where the sentence
  // holds a %s, what fills it; otherwise an aside after it.
  std::string detail;
  // The condition that fails or cannot be judged (ConditionFails, ConditionUnknown), as its
  // file writes it.
  std::string condition;
  // What starts the program, where that is not the logon itself (a socket, a timer): a text
  // with one %s for each of the words.
  LogonText activation{};
  std::vector<std::string> activationWords;
  LogonSwitch switchBy = LogonSwitch::None;
  bool canStart = false;        // the source can start it now (systemd start, a shortcut)
  bool allUsers = false;        // machine-wide rather than the user's own
  bool systemComponent = false; // shipped and enabled by the operating system's own packages
};

struct LogonSourceListing {
  std::vector<LogonItem> items;
  // Why the source could not be asked at all (no user manager runs, no crontab program), in the
  // system's words; the front ends say so once instead of showing nothing.
  std::optional<std::string> unavailable;
  // The source is there and holds items of the user's, but refused to show them (crontab for a
  // user that cron.deny names, whose jobs cron still runs): they may start unseen, so the front
  // ends say so even where a missing source passes unmentioned.
  bool refused = false;
};

// What a switch of an item would change, decided before anything changes.
struct LogonSwitchPlan {
  // Why the source will not carry the switch out, where it will not: a switch it could only
  // carry out in part is refused whole, with nothing changed. `refusalDetail` (a path) may
  // follow the sentence.
  std::optional<LogonText> refusal;
  std::string refusalDetail;
  // What puts the item back as it is now, in the source's own words, for restoreSwitch and the
  // backup record; empty where the source keeps nothing.
  std::string undo;
};

// Where a change to a source's items shows, for a window that watches them: folders any of
// whose files may be or decide an item, and single files. `poll` where a change shows nowhere
// cheap to watch (a crontab that only its tool writes, the Task Scheduler's store): a window
// looks at such a source now and then instead.
struct LogonWatch {
  std::vector<std::string> folders;
  std::vector<std::string> files;
  bool poll = true;
};

class LogonSource {
public:
  virtual ~LogonSource() = default;
  virtual LogonSourceKind kind() const = 0;
  // The file a person opens to change the item by hand; empty when it has none.
  virtual std::string fileToOpen(const LogonItem &item) const { return item.file; }
  // Every item of the source. May take a while (a D-Bus round trip, a child process) but never
  // blocks past a few seconds: a source that does not answer in time is unavailable.
  virtual LogonSourceListing list() = 0;
  // Switches the item off or on as its switchBy says. True when it is in the asked state
  // afterwards; false, changing nothing, when it cannot be switched.
  virtual bool setEnabled(const LogonItem & /*item*/, bool /*enabled*/) { return false; }
  // What setEnabled would change; the default refuses nothing and keeps nothing.
  virtual LogonSwitchPlan planSwitch(const LogonItem & /*item*/, bool /*enabled*/) { return {}; }
  // Puts back what a switch of the item of that name changed, from its plan's `undo`. True when
  // the item is as it was before that switch, also when it already was.
  virtual bool restoreSwitch(const std::string & /*name*/, const std::string & /*undo*/) {
    return false;
  }
  // Where a change to the items shows now; may ask the source's owner, as list does. Asked again
  // after each change, since a change may make a new folder to watch.
  virtual LogonWatch watchPlaces() { return {}; }
  // Starts the item now, where canStart says it can. True when it was started.
  virtual bool start(const LogonItem & /*item*/) { return false; }
};

} // namespace lw
