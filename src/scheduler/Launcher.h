#pragma once

#include "platform/Platform.h"
#include "support/FileError.h"
#include "support/ProgramValues.h"
#include "support/Toolbox.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lw {

// The timer side of the customized entries: a copy of the entries file kept between ticks, and
// one tick that starts every entry whose schedule has come due and then records all their new
// last starts with one write. The main window owns one and calls tick from its timer; any
// command that changes the entries file sets reloadPending so that the timer works on the new
// content. A change made elsewhere (the command line, a hand edit) reaches it through
// takeOutsideChange, which the owner calls when the files change; one that comes while a tick
// starts its entries is not lost either: the write finds it and records the starts in it
// instead of writing the timer's old copy over it.
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
  // Set when the program was brought up at logon; a reload then sends the window to the tray,
  // until the user brings it up.
  bool startedByAutostart = false;

  // A start the shell refused, by entry name. The entry still counts as started (its stamp
  // moves on, so a broken command is not retried every tick); a later failure replaces the
  // record and a later successful start removes it.
  struct StartFailure {
    LocalTime at;
    std::string reason; // empty when the shell gave none
  };
  std::map<std::string, StartFailure> failedStarts;
  // Told once per refused start, after the tick has recorded its starts; may be empty.
  std::function<void(const std::string &name)> startFailed;

  // One timer tick. Throws FileError when the entries file cannot be read on a reload (which
  // then stays pending) or cannot be written after the starts (the new stamps are then written
  // by the next tick).
  void tick();

  // Whether the user switched this entry off, as of the last reload or outside change. While
  // the switches cannot be read, those last read count; when they never could be, every entry
  // counts as off.
  bool isDisabled(const std::string &name) const;

  // Why the switches could not be read at the last reload or outside change; nothing when they
  // could. Reading them never throws: the timer goes on with what it knew.
  const std::optional<FileError> &switchesUnreadable() const { return switchesProblem; }
  // How often the switches were read, for an owner that reports their state only when it may
  // have changed.
  std::uint64_t switchesReads() const { return switchesReadCount; }

  // Takes the entries file and the switches afresh, for when someone else (another process, a
  // hand edit) may have changed them; true when the timer's copy was out of date, or when a
  // write of its starts took in such a change since the last call. Unlike a reload it writes
  // nothing and leaves the window where it is, so that an owner who watches the files is not
  // woken again by its own check. Starts not yet recorded are written first. Throws FileError
  // when the entries file cannot be read or the starts cannot be written; the switches are
  // then as before, and the entries as the last write left them. Switches that cannot be read
  // leave them as before too, and count as a change when they could be read until now.
  bool takeOutsideChange();

private:
  // A start, or a last start brought back to now after the clock was set back, whose new
  // schedule line is not in the file yet.
  struct UnsavedStart {
    std::size_t at; // line of the block's name in timerEntries
    std::string previousLine;
  };

  void reload();
  // Throws FileError when the store of the switches cannot be read.
  std::set<std::string> readDisabledNames() const;
  // Reads the switches, or notes why they cannot be read; true when that differs from before.
  bool takeSwitches();
  // Records every unsaved start with one locked read-merge-write of the entries file.
  void writeBack();
  static std::uint64_t digestOf(const std::vector<std::string> &lines);

  const Platform &platform;
  std::function<void()> minimizeToTray;
  Toolbox toolbox;
  // Folded (lower-case) names of the entries switched off, read on every reload.
  std::set<std::string> disabledNames;
  bool switchesKnown = false; // read at least once
  std::optional<FileError> switchesProblem;
  std::uint64_t switchesReadCount = 0;
  std::vector<UnsavedStart> unsaved;
  // Names of refused starts whose owner has not been told yet.
  std::vector<std::string> unnotified;
  // Digest of the entries file's body as the timer last read or wrote it: enough to tell that
  // someone else changed the file, without a second copy of it. Before the first reload the
  // timer knows an empty file.
  std::uint64_t digestAsKnown;
  // A write that took someone else's change since takeOutsideChange last told of one.
  bool mergedOutsideChange = false;
};

} // namespace lw
