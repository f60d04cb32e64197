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
    line = rebuiltScheduleLine(line, moment.now);
    writeBack();
  }
}

void Launcher::reload() {
  timerEntries.clear();
  EntryStore store(platform);
  store.readEntries();
  timerEntries = std::move(store.customLines);
  if (startedByAutostart && minimizeToTray)
    minimizeToTray();
  toolbox.keyPath = keys::control;
  toolbox.writeValue(0, backgroundControlName, backgroundControlData);
  reloadPending = false;
}

void Launcher::writeBack() {
  EntryStore store(platform);
  store.customLines = timerEntries;
  store.writeEntries();
}

} // namespace lw
