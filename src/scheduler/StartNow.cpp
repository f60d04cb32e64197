#include "StartNow.h"

#include "DueRules.h"
#include "storage/EntryFormat.h"

#include <algorithm>

namespace lw {

StartResult startNow(const Platform &platform, const EntryToStart &entry,
                     std::vector<std::string> &startedThisRun) {
  if (entry.kind != EntryKind::Customized)
    return platform.shell.start(entry.command, entry.workingDirectory, StartStyle::Exec);

  const TickMoment moment = TickMoment::of(platform.clock.now());
  const StartResult result = platform.shell.start(entry.command, {}, StartStyle::Open);
  EntryStore store(platform);
  store.rewriteEntries([&](std::vector<std::string> &lines, bool) {
    const std::size_t end = completeBlockLines(lines);
    for (std::size_t i = 0; i < end; i += linesPerBlock) {
      if (lines[i] != entry.name || lines[i + 1] != entry.command)
        continue;
      std::string &line = lines[i + 2];
      if (dueAnswer(line, moment) == DueAnswer::DueOncePerRun &&
          std::find(startedThisRun.begin(), startedThisRun.end(), entry.name) ==
              startedThisRun.end())
        startedThisRun.push_back(entry.name);
      line = rebuiltScheduleLine(line, moment.now);
      return;
    }
  });
  return result;
}

} // namespace lw
