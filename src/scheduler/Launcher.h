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
// file sets reloadPending, or the next write-back of a start restores the old file.
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
  void writeBack();

  const Platform &platform;
  std::function<void()> minimizeToTray;
  Toolbox toolbox;
};

} // namespace lw
