// What each entry cost at logon on Linux: the systemd user manager's account of the unit that
// runs it where the manager keeps one, else the kernel's figures of its processes: a unit's
// main process and its descendants, or the processes started since the session began whose
// program is the entry's.

#include "LinuxImpactMeter.h"

#include "ProcessCosts.h"
#include "SystemdManager.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <unistd.h>

namespace lw {

namespace {

constexpr const char *procFolder = "/proc";
constexpr const char *logindSessions = "/run/systemd/sessions";
constexpr std::uint64_t notKept = UINT64_MAX;

constexpr const char *notStartedUnit = "its unit has not started since the session began";
constexpr const char *endedUnread = "its processes had ended before they could be read, and the "
                                    "user manager keeps no CPU account for its unit";
constexpr const char *noProcess = "no process of its program started after the session began";
constexpr const char *noDiskFigure = "the disk figures of its processes cannot be read";

std::int64_t nowMicroseconds() {
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

// The generated unit the systemd session runs an autostart file as, its name escaped as the
// generator does: "app-" and the file's name without ".desktop", each '-' in it as \x2d.
std::string generatedUnitOf(const std::string &file) {
  std::string id = fileNameOf(file);
  if (!id.ends_with(".desktop"))
    return {};
  id.resize(id.size() - 8);
  std::string escaped;
  for (const char c : id)
    escaped += c == '-' ? std::string("\\x2d") : std::string(1, c);
  return "app-" + escaped + "@autostart.service";
}

struct Tracked {
  std::string unit; // the unit that runs it and is loaded; empty: its program's processes
  SystemdManager::UnitAccount account;
  std::set<int> mainProcesses; // every main process the unit had while it was sampled
};

// The latest logon of this user that logind keeps a record of, µs since 1970.
std::optional<std::int64_t> lastLogindSession() {
  std::optional<std::int64_t> latest;
  std::error_code error;
  const std::string uid = "UID=" + std::to_string(getuid());
  for (const auto &file : std::filesystem::directory_iterator(logindSessions, error)) {
    std::ifstream record(file.path());
    bool ours = false;
    std::optional<std::int64_t> at;
    for (std::string line; std::getline(record, line);) {
      ours = ours || line == uid;
      if (line.starts_with("REALTIME="))
        at = std::atoll(line.c_str() + 9);
    }
    if (ours && at && (!latest || *at > *latest))
      latest = at;
  }
  return latest;
}

// The start of the session: with a user manager, when it started or, where the manager outlives
// logons (lingering), the user's last logon that logind records, whichever is later. A target's
// own timestamps will not do: a target becomes active only after the units it wants. Without a
// manager, when the leader of this process's session started.
std::optional<std::int64_t> sessionStartOf(SystemdManager *manager, std::uint64_t ticks,
                                           std::optional<std::int64_t> boot) {
  if (manager)
    if (const std::uint64_t started = manager->startedAt(); started != 0)
      return std::max(static_cast<std::int64_t>(started), lastLogindSession().value_or(0));
  const auto leader = readProcess(procFolder, static_cast<int>(getsid(0)));
  if (!leader || !boot)
    return std::nullopt;
  return *boot * 1'000'000 + static_cast<std::int64_t>(leader->startTicks * 1'000'000 / ticks);
}

} // namespace

ImpactMeasurement LinuxImpactMeter::measure(const std::vector<ImpactTarget> &targets,
                                            std::chrono::milliseconds until, bool once) {
  const std::uint64_t ticks = ticksPerSecond();
  const auto boot = bootTime(procFolder);
  std::string why;
  auto manager =
      SystemdManager::connect(why, SystemdManager::Clock::now() + std::chrono::seconds(5));
  const std::int64_t startUs =
      sessionStartOf(manager.get(), ticks, boot).value_or(nowMicroseconds());
  ImpactMeasurement result;
  result.sessionStart = startUs / 1'000'000;
  result.figures.resize(targets.size());

  // Which targets a loaded unit runs.
  std::vector<Tracked> tracked(targets.size());
  std::vector<std::string> units;
  std::vector<std::size_t> ofUnit;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const std::string unit =
        !targets[i].unit.empty() ? targets[i].unit : generatedUnitOf(targets[i].file);
    if (manager && !unit.empty()) {
      units.push_back(unit);
      ofUnit.push_back(i);
    }
  }
  const auto askUnits = [&] {
    if (!manager || units.empty())
      return;
    const auto accounts = manager->accounts(units);
    for (std::size_t k = 0; k < accounts.size(); ++k) {
      Tracked &one = tracked[ofUnit[k]];
      if (accounts[k].loadState != "loaded")
        continue;
      one.unit = units[k];
      one.account = accounts[k];
      if (accounts[k].mainPid != 0)
        one.mainProcesses.insert(static_cast<int>(accounts[k].mainPid));
    }
  };

  // The boot time is whole seconds, and the wall clock may have been set since: a second's
  // margin, so that no process of the session is missed.
  const std::uint64_t sinceTicks =
      boot && startUs / 1'000'000 >= *boot + 1
          ? static_cast<std::uint64_t>(startUs - *boot * 1'000'000) * ticks / 1'000'000 - ticks
          : 0;
  std::vector<std::string> programs;
  for (const auto &target : targets)
    programs.push_back(target.program);
  ProcessCosts processes(procFolder, sinceTicks, programs);
  const auto unitProcesses = [&] {
    std::set<int> all;
    for (const Tracked &one : tracked)
      all.insert(one.mainProcesses.begin(), one.mainProcesses.end());
    return all;
  };
  // The manager's account of a unit goes on adding up, and is read at the end; the processes
  // are read where it keeps none, and for the entries no unit runs.
  const auto processesNeeded = [&] {
    return std::ranges::any_of(tracked, [](const Tracked &one) {
      return one.unit.empty() || one.account.cpuNsec == notKept ||
             one.account.ioReadBytes == notKept || one.account.ioWriteBytes == notKept;
    });
  };
  const auto end = std::chrono::microseconds(startUs) + until;
  askUnits();
  for (;;) {
    const bool needed = processesNeeded();
    const bool last = once || std::chrono::microseconds(nowMicroseconds()) >= end;
    if (needed)
      processes.sample(unitProcesses(), last);
    if (last)
      break;
    const auto now = std::chrono::microseconds(nowMicroseconds());
    // Most of a logon's work is done in its first seconds: the samples come at 1, 2, 4, 8 ...
    // seconds into the session, so that a process that ends early is read before it does, and
    // a minute takes half a dozen of them, each a read of the session's processes at work.
    const auto into = now - std::chrono::microseconds(startUs);
    auto next = std::chrono::microseconds(std::chrono::seconds(1));
    while (next <= into)
      next *= 2;
    std::this_thread::sleep_for(std::min(end, std::chrono::microseconds(startUs) + next) - now);
    if (needed || std::chrono::microseconds(nowMicroseconds()) >= end)
      askUnits();
  }
  const auto afterStart = [&](std::int64_t atUs) -> std::optional<std::uint64_t> {
    if (atUs < startUs)
      return std::nullopt;
    return static_cast<std::uint64_t>(atUs - startUs) / 1000;
  };
  const auto ticksAt = [&](std::uint64_t startTicks) {
    return boot ? *boot * 1'000'000 + static_cast<std::int64_t>(startTicks * 1'000'000 / ticks) : 0;
  };
  for (std::size_t i = 0; i < targets.size(); ++i) {
    ImpactFigures &figures = result.figures[i];
    const Tracked &one = tracked[i];
    std::set<int> pids;
    if (!one.unit.empty()) {
      const auto &account = one.account;
      const std::uint64_t started =
          account.execMainStart != 0 ? account.execMainStart : account.activeEnter;
      if (started == 0 || static_cast<std::int64_t>(started) < startUs) {
        figures.reason = notStartedUnit;
        continue;
      }
      figures.startedAfterMs = afterStart(static_cast<std::int64_t>(started));
      if (account.cpuNsec != notKept)
        figures.cpuMs = account.cpuNsec / 1'000'000;
      if (account.ioReadBytes != notKept && account.ioWriteBytes != notKept)
        figures.diskBytes = account.ioReadBytes + account.ioWriteBytes;
      if (figures.cpuMs && figures.diskBytes)
        continue;
      pids = processes.withDescendants(one.mainProcesses);
      if (pids.empty() ||
          std::ranges::none_of(pids, [&](int pid) { return processes.seen().contains(pid); })) {
        if (!figures.cpuMs)
          figures.reason = endedUnread;
        continue;
      }
    } else {
      std::set<int> roots = processes.runningProgram(fileNameOf(targets[i].program));
      // An entry the program starts itself is its processes begun in the minute it last did.
      if (const auto by = targets[i].startedByUs) {
        if (*by + 60 < result.sessionStart) {
          figures.reason = notStartedByProgram;
          continue;
        }
        std::erase_if(roots, [&](int pid) {
          const std::int64_t at = ticksAt(processes.seen().at(pid).startTicks);
          return at < (*by - 1) * 1'000'000 || at > (*by + 61) * 1'000'000;
        });
      }
      pids = processes.withDescendants(roots);
      if (pids.empty()) {
        figures.reason = noProcess;
        continue;
      }
    }
    const auto sum = processes.sum(pids);
    if (!figures.cpuMs)
      figures.cpuMs = sum.cpuTicks * 1000 / ticks;
    if (!figures.diskBytes)
      figures.diskBytes = sum.diskBytes;
    if (!figures.startedAfterMs && sum.firstStart != UINT64_MAX)
      figures.startedAfterMs = afterStart(ticksAt(sum.firstStart));
    if (!figures.diskBytes)
      figures.reason = noDiskFigure;
  }
  return result;
}

} // namespace lw
