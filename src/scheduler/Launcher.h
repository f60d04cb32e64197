#pragma once

#include "platform/Platform.h"
#include "support/Toolbox.h"

#include <functional>
#include <string>
#include <vector>

namespace lw {

// The machine-wide value that tells other programs that customized entries are being started in
// the background. Written on every reload of the entries; the main window deletes it when the
// user brings the window back or ends the program.
inline constexpr const char *backgroundControlName = "background control";
inline constexpr const char *backgroundControlData = "active";

// The timer side of the customized entries: a copy of the entries file kept between ticks, and
// one tick that starts every entry whose schedule has come due and records its new last start.
// The main window owns one and calls tick from its timer; any command that changes the entries
// file sets reloadPending so that the timer works on the new content. A change the timer was not
// told about (another instance, a hand edit) is not lost either: a write-back finds it and
// records the start in it instead of writing the timer's old copy over it.
class Launcher {
public:
  // minimizeToTray is how the owner sends its window to the tray; it may be empty.
  Launcher(const Platform &platform, std::function<void()> minimizeToTray);

  // The entries file's lines after its header, in blocks of four: name, command, schedule
  // line, separator.
  std::vector<std::string> timerEntries;
  bool reloadPending = false;
  // Names of the weekday and day-of-month entries already started in this run of the program.
  std::vector<std::string> startedThisRun;
  // Set when the program was brought up at logon; a reload then sends the window to the tray.
  bool startedByAutostart = false;

  // One timer tick. Throws FileError when the entries file cannot be read on a reload (which
  // then stays pending) or cannot be written after a start; the tick ends there.
  void tick();

private:
  void reload();
  // Records the new schedule line of the block at `at`; false when the file had changed behind
  // the timer's back and timerEntries now hold its current content.
  bool writeBack(std::size_t at, const std::string &previousLine);

  const Platform &platform;
  std::function<void()> minimizeToTray;
  Toolbox toolbox;
  // The entries file's body as the timer last read or wrote it.
  std::vector<std::string> fileAsKnown;
};

} // namespace lw
