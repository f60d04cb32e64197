#include "Launcher.h"

#include "DueRules.h"
#include "storage/EntryStore.h"

#include <algorithm>

namespace lw {

Launcher::Launcher(const Platform &platform, std::function<void()> minimizeToTray)
    : platform(platform), minimizeToTray(std::move(minimizeToTray)), toolbox(platform) {}

void Launcher::tick() {
  // An idle tick must stay cheap: it reads neither file nor registry and builds no text per
  // entry. Only a reload and the write-back after a start touch the world.
  if (reloadPending)
    reload();

  // One reading of the clock for the whole tick, so that the time stamp and the weekday agree
  // even across midnight.
  const TickMoment moment = TickMoment::of(platform.clock.now());

  // A trailing block of fewer than four lines (a file cut short by hand) is never started.
  const std::size_t blocksEnd = completeBlockLines(timerEntries);
  for (std::size_t i = 0; i < blocksEnd; i += linesPerBlock) {
    const std::string &name = timerEntries[i];
    std::string &line = timerEntries[i + 2];
    const DueAnswer answer = dueAnswer(line, moment);
    if (answer == DueAnswer::NotDue)
      continue;
    const bool oncePerRun = answer == DueAnswer::DueOncePerRun;
    if (oncePerRun &&
        std::find(startedThisRun.begin(), startedThisRun.end(), name) != startedThisRun.end())
      continue;

    // Whether the program could be started is not examined: the entry counts as started, so
    // that a broken command is not retried every 2.5 seconds.
    platform.shell.open(timerEntries[i + 1]);
    if (oncePerRun)
      startedThisRun.push_back(name);
    const std::string previousLine = line;
    line = rebuiltScheduleLine(line, moment.now);
    // The rest of the walk is left to the next tick when the entries were taken afresh.
    if (!writeBack(i, previousLine))
      break;
  }
}

void Launcher::reload() {
  timerEntries.clear();
  EntryStore store(platform);
  store.readEntries();
  timerEntries = std::move(store.customLines);
  fileAsKnown = timerEntries;
  if (startedByAutostart && minimizeToTray)
    minimizeToTray();
  toolbox.keyPath = keys::control;
  toolbox.writeValue(0, backgroundControlName, backgroundControlData);
  reloadPending = false;
}

bool Launcher::writeBack(std::size_t at, const std::string &previousLine) {
  bool unchanged = true;
  EntryStore store(platform);
  store.rewriteEntries([&](std::vector<std::string> &lines, bool fileExisted) {
    // A missing file is recreated from the timer's copy, so that no entry is lost with it.
    unchanged = !fileExisted || lines == fileAsKnown;
    if (unchanged) {
      lines = timerEntries;
      return;
    }
    // Someone else changed the file: record this start in their content, if the entry is
    // still there as the timer knew it, and carry on from that content.
    const std::size_t end = completeBlockLines(lines);
    for (std::size_t i = 0; i < end; i += linesPerBlock) {
      if (lines[i] == timerEntries[at] && lines[i + 1] == timerEntries[at + 1] &&
          lines[i + 2] == previousLine) {
        lines[i + 2] = timerEntries[at + 2];
        break;
      }
    }
  });
  if (!unchanged)
    timerEntries = store.customLines;
  fileAsKnown = timerEntries;
  return unchanged;
}

} // namespace lw
