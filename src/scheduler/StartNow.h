#pragma once
// Starting any entry at once, whatever its kind and rule: the one core step behind the main
// window's Start Now, ready for any other front end.

#include "platform/Platform.h"
#include "storage/EntryStore.h"

#include <string>
#include <vector>

namespace lw {

struct EntryToStart {
  EntryKind kind = EntryKind::Customized;
  std::string name;             // exact bytes
  std::string command;          // exact bytes
  std::string workingDirectory; // Run-key entries: the folder their command runs in, or empty
};

// Starts the entry as its own start would: a Run-key entry as the desktop runs its command at
// logon, in its folder; a customized entry through the shell's "open", like the timer. A
// customized entry's start is then recorded in its schedule line exactly as a timed start is
// (under the file's lock, also when the program could not be started, so that its rhythm
// runs on from now), and on a day its weekday or day-of-month rule starts it, it counts as
// that day's start in startedThisRun. The caller then asks the timer to reload. Throws
// FileError when the entries file cannot be read or written.
StartResult startNow(const Platform &platform, const EntryToStart &entry,
                     std::vector<std::string> &startedThisRun);

} // namespace lw
