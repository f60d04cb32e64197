#pragma once
// The other ways a program starts when the user logs on, beside the two Run keys and the
// customized entries: systemd user units, session scripts and boot jobs on Linux; the Startup
// folders, RunOnce and logon tasks on Windows. One reader per source, each asking the component
// that owns it (systemd, cron, the shell, the Task Scheduler) rather than re-reading its rules,
// and each saying what it lists and whether and how an item can be switched.

#include "StartupState.h"

#include <optional>
#include <string>
#include <vector>

namespace lw {

// The numbers are stable: they index texts and name kinds for scripts.
enum class LogonSourceKind {
  SystemdUnit = 0, // a systemd user unit pulled in at logon
  SessionScript,   // a shell file a session reads or runs (~/.xprofile, Plasma's env scripts, ...)
  BootJob,         // an @reboot line of the user's crontab: at boot, not at logon
  StartupFolder,   // a file or shortcut in a Windows Startup folder
  RunOnce,         // a value of a RunOnce key: runs once at the next logon
  LogonTask        // a Task Scheduler task with a logon trigger
};
inline constexpr int logonSourceKinds = static_cast<int>(LogonSourceKind::LogonTask) + 1;

// Why an item starts or does not; the front ends show each in words. The numbers are stable.
enum class LogonReason {
  None = 0,
  UserEnabled,     // systemd: enabled by the user (a link in the user's unit folder)
  AdminEnabled,    // systemd: enabled for every user by the administrator (/etc)
  VendorEnabled,   // systemd: enabled by a package: the operating system's (/usr/lib) or one
                   // installed in the home directory (XDG_DATA_HOME)
  UserDisabled,    // systemd: installable into a logon target, but not enabled
  Masked,          // systemd: masked, so nothing starts it
  XProfile,        // read by display managers when an X session starts (~/.xprofile)
  XSessionRc,      // read by Debian's X session start-up (~/.xsessionrc)
  PlasmaEnv,       // sourced by Plasma before the session starts
  PlasmaScript,    // run by Plasma when the session has started
  AtBoot,          // cron: runs when the machine starts, not when the user logs on
  StartupShortcut, // Windows: opened by Explorer at logon
  RunsOnce,        // Windows: runs once at the next logon, then the value is deleted
  LogonTrigger,    // Windows: a task the Task Scheduler starts at logon
  PackageEnabled   // systemd: enabled by a package installed in the user's home (~/.local/share)
};
inline constexpr int logonReasons = static_cast<int>(LogonReason::PackageEnabled) + 1;

// How an item can be switched off and on, where it can be at all.
enum class LogonSwitch {
  None,    // read-only: edit the file or use the owning tool
  Enable,  // systemd enable/disable: the user's own links
  Mask,    // systemd mask/unmask: how a user switches off what others enabled
  Approved // Windows StartupApproved value beside the folder or key
};

struct LogonItem {
  LogonSourceKind source = LogonSourceKind::SystemdUnit;
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
  LogonReason reason = LogonReason::None;
  std::string detail; // more for the reason sentence (the session that reads a file, "32-bit")
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
};

class LogonSource {
public:
  virtual ~LogonSource() = default;
  virtual LogonSourceKind kind() const = 0;
  // Every item of the source. May take a while (a D-Bus round trip, a child process) but never
  // blocks past a few seconds: a source that does not answer in time is unavailable.
  virtual LogonSourceListing list() = 0;
  // Switches the item off or on as its switchBy says. True when it is in the asked state
  // afterwards; false, changing nothing, when it cannot be switched.
  virtual bool setEnabled(const LogonItem & /*item*/, bool /*enabled*/) { return false; }
  // Starts the item now, where canStart says it can. True when it was started.
  virtual bool start(const LogonItem & /*item*/) { return false; }
};

} // namespace lw
