#include "Launcher.h"

#include "DueRules.h"
#include "storage/EntryStore.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace lw {

namespace {

std::string folded(std::string_view name) {
  std::string result(name);
  for (char &c : result)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return result;
}

} // namespace

Launcher::Launcher(const Platform &system, std::function<void()> toTray)
    : platform(system), minimizeToTray(std::move(toTray)), toolbox(system),
      digestAsKnown(digestOf({})) {}

bool Launcher::isDisabled(const std::string &name) const {
  // Switches that could never be read are not known: nothing may start.
  if (switchesProblem && !switchesKnown)
    return true;
  return !disabledNames.empty() && disabledNames.count(folded(name)) != 0;
}

void Launcher::tick() {
  // An idle tick must stay cheap: it reads neither file nor registry and builds no text per
  // entry. Only a reload and the write after a start touch the world.

  // Stamps a failed write left behind go first, before a reload could take the entries afresh
  // and start them a second time.
  if (!unsaved.empty())
    writeBack();
  if (reloadPending)
    reload();

  // One reading of the clock for the whole tick, so that the time stamp and the weekday agree
  // even across midnight.
  const LocalTime clockNow = platform.clock.now();
  const TickMoment moment = TickMoment::of(clockNow);

  // A trailing block of fewer than four lines (a file cut short by hand) is never started.
  const std::size_t blocksEnd = completeBlockLines(timerEntries);
  for (std::size_t i = 0; i < blocksEnd; i += linesPerBlock) {
    const std::string &name = timerEntries[i];
    std::string &line = timerEntries[i + 2];
    const DueAnswer answer = dueAnswer(line, moment);
    const bool oncePerRun = answer == DueAnswer::DueOncePerRun;
    if (answer == DueAnswer::NotDue ||
        (oncePerRun &&
         std::find(startedThisRun.begin(), startedThisRun.end(), name) != startedThisRun.end())) {
      // A last start after now (the clock was set back) is stored as now, as the rules read it,
      // so that an interval counts from here on and not from a time still to come.
      if (lastStartAhead(line, moment) && !isDisabled(name)) {
        unsaved.push_back({i, line});
        line = rebuiltScheduleLine(line, moment.now);
      }
      continue;
    }
    if (isDisabled(name))
      continue;

    // A refused start still counts as a start, so that a broken command is not retried every
    // 2.5 seconds; it is kept for the window to show.
    if (const StartResult result = platform.shell.start(timerEntries[i + 1], {}, StartStyle::Open);
        result.started()) {
      failedStarts.erase(name);
    } else {
      failedStarts[name] = StartFailure{clockNow, std::string(problemCode(result.problem))};
      unnotified.push_back(name);
    }
    if (oncePerRun)
      startedThisRun.push_back(name);
    unsaved.push_back({i, line});
    line = rebuiltScheduleLine(line, moment.now);
  }

  // Every program of the tick is started before the file is touched: one write records them
  // all, however many came due together.
  if (!unsaved.empty())
    writeBack();

  if (!unnotified.empty()) {
    const std::vector<std::string> names = std::move(unnotified);
    unnotified.clear();
    if (startFailed)
      for (const auto &name : names)
        startFailed(name);
  }
}

void Launcher::reload() {
  timerEntries.clear();
  EntryStore store(platform);
  store.readEntries();
  timerEntries = std::move(store.customLines);
  digestAsKnown = digestOf(timerEntries);

  takeSwitches();

  if (startedByAutostart && minimizeToTray)
    minimizeToTray();
  ProgramValues(platform.registry).markBackgroundControl();
  reloadPending = false;
}

std::set<std::string> Launcher::readDisabledNames() const {
  std::set<std::string> result;
  if (const auto names = ProgramValues(platform.registry).switchedOffCustomized())
    for (const auto &name : *names)
      result.insert(folded(name));
  return result;
}

bool Launcher::takeSwitches() {
  ++switchesReadCount;
  try {
    std::set<std::string> names = readDisabledNames();
    const bool changed = switchesProblem.has_value() || names != disabledNames;
    disabledNames = std::move(names);
    switchesKnown = true;
    switchesProblem.reset();
    return changed;
  } catch (const FileError &error) {
    // Not knowing is no reason to start what the user switched off: the switches last read
    // stay, and when none could ever be read, nothing starts.
    const bool changed = !switchesProblem.has_value();
    switchesProblem = error;
    return changed;
  }
}

bool Launcher::takeOutsideChange() {
  // The stamps go first: the copy taken below would otherwise lose them and start the entries
  // a second time.
  if (!unsaved.empty())
    writeBack();
  EntryStore store(platform);
  store.readEntries();
  const bool switchesChanged = takeSwitches();
  const std::uint64_t digest = digestOf(store.customLines);
  const bool merged = std::exchange(mergedOutsideChange, false);
  const bool changed = merged || digest != digestAsKnown || switchesChanged;
  if (digest != digestAsKnown) {
    timerEntries = std::move(store.customLines);
    digestAsKnown = digest;
  }
  return changed;
}

std::uint64_t Launcher::digestOf(const std::vector<std::string> &lines) {
  // Line hashes mixed with their position, so that moved or swapped lines count as a change.
  std::uint64_t digest = 0x9e3779b97f4a7c15u ^ lines.size();
  const std::hash<std::string_view> hash;
  for (const auto &line : lines) {
    digest ^= hash(line) + 0x9e3779b97f4a7c15u + (digest << 6) + (digest >> 2);
    digest *= 0xff51afd7ed558ccdu;
  }
  return digest;
}

void Launcher::writeBack() {
  EntryStore store(platform);
  // When the file is as the timer knew it, the timer's lines are handed to the store for the
  // write instead of being copied, and taken back however the write ends.
  bool handedOver = false;
  struct TakeBack {
    bool &handedOver;
    std::vector<std::string> &from;
    std::vector<std::string> &to;
    ~TakeBack() {
      if (handedOver)
        to.swap(from);
    }
  } takeBack{handedOver, store.customLines, timerEntries};

  store.rewriteEntries([&](std::vector<std::string> &lines, bool fileExisted) {
    // A missing file is recreated from the timer's copy, so that no entry is lost with it.
    if (!fileExisted || digestOf(lines) == digestAsKnown) {
      lines.swap(timerEntries);
      handedOver = true;
      return;
    }
    // Someone else changed the file: record each start in their content, where the entry is
    // still as the timer knew it. An entry they removed stays removed.
    mergedOutsideChange = true;
    std::unordered_multimap<std::string_view, std::size_t> blockOf;
    const std::size_t end = completeBlockLines(lines);
    blockOf.reserve(end / linesPerBlock);
    for (std::size_t i = 0; i < end; i += linesPerBlock)
      blockOf.emplace(lines[i], i);
    for (const auto &start : unsaved) {
      const auto [first, last] = blockOf.equal_range(timerEntries[start.at]);
      for (auto it = first; it != last; ++it) {
        std::string &theirLine = lines[it->second + 2];
        if (lines[it->second + 1] == timerEntries[start.at + 1] &&
            theirLine == start.previousLine) {
          theirLine = timerEntries[start.at + 2];
          break;
        }
      }
    }
  });
  if (handedOver) {
    handedOver = false;
    timerEntries.swap(store.customLines);
  } else {
    // The timer carries on from the file's current content.
    timerEntries = std::move(store.customLines);
  }
  digestAsKnown = digestOf(timerEntries);
  unsaved.clear();
}

} // namespace lw
