// What each entry cost at logon on Windows: the processes started since the session began
// whose image is the entry's program, with their descendants, as GetProcessTimes and
// GetProcessIoCounters count them. Each is read as it is seen, so one that ends before the
// minute is over keeps its last figures.

#include "WindowsImpactMeter.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <thread>

namespace lw {

namespace {

constexpr auto sampleEvery = std::chrono::seconds(2);
constexpr std::uint64_t ticksPerMs = 10'000;              // FILETIME counts 100 ns
constexpr std::uint64_t epochTo1970 = 116444736000000000; // 1601 to 1970 in 100 ns
constexpr const char *noProcess = "no process of its program started after the session began";
constexpr const char *shellImage = "explorer.exe";

std::uint64_t ticksOf(const FILETIME &time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::uint64_t nowTicks() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return ticksOf(now);
}

std::string lowerFileName(const std::string &path) {
  const std::size_t cut = path.find_last_of("\\/");
  std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  for (char &c : name)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

struct Seen {
  DWORD parent = 0;
  std::string image; // lower case
  std::uint64_t created = 0, cpu = 0, disk = 0;
};

// Every process now, with its figures where it may be opened.
void sample(std::map<DWORD, Seen> &seen) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
    if (!process)
      continue;
    FILETIME created, exited, kernel, user;
    IO_COUNTERS io{};
    if (GetProcessTimes(process, &created, &exited, &kernel, &user)) {
      Seen &one = seen[entry.th32ProcessID];
      one.parent = entry.th32ParentProcessID;
      one.image = lowerFileName(entry.szExeFile);
      one.created = ticksOf(created);
      one.cpu = ticksOf(kernel) + ticksOf(user);
      if (GetProcessIoCounters(process, &io))
        one.disk = io.ReadTransferCount + io.WriteTransferCount;
    }
    CloseHandle(process);
  }
  CloseHandle(snapshot);
}

// The session began when its shell did; without one, now.
std::uint64_t sessionStartOf(const std::map<DWORD, Seen> &seen) {
  std::uint64_t start = UINT64_MAX;
  for (const auto &[pid, one] : seen)
    if (one.image == shellImage)
      start = std::min(start, one.created);
  return start == UINT64_MAX ? nowTicks() : start;
}

} // namespace

ImpactMeasurement WindowsImpactMeter::measure(const std::vector<ImpactTarget> &targets,
                                              std::chrono::milliseconds until, bool once) {
  std::map<DWORD, Seen> seen;
  sample(seen);
  const std::uint64_t start = sessionStartOf(seen);
  const std::uint64_t end = start + static_cast<std::uint64_t>(until.count()) * ticksPerMs;
  while (!once && nowTicks() < end) {
    std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(
        sampleEvery, std::chrono::milliseconds((end - nowTicks()) / ticksPerMs + 1)));
    sample(seen);
  }
  ImpactMeasurement result;
  result.sessionStart = static_cast<std::int64_t>((start - epochTo1970) / 10'000'000);
  for (const auto &target : targets) {
    const std::string image = lowerFileName(target.program);
    std::set<DWORD> pids;
    for (const auto &[pid, one] : seen)
      if (one.created >= start && !image.empty() && one.image == image)
        pids.insert(pid);
    // Its descendants, started by it since: a parent's id may be reused, so only a child
    // created after its parent counts.
    for (bool grown = true; grown;) {
      grown = false;
      for (const auto &[pid, one] : seen)
        if (!pids.contains(pid) && pids.contains(one.parent) &&
            seen.at(one.parent).created <= one.created)
          grown = pids.insert(pid).second || grown;
    }
    ImpactFigures figures;
    if (pids.empty()) {
      figures.reason = noProcess;
      result.figures.push_back(figures);
      continue;
    }
    std::uint64_t cpu = 0, disk = 0, first = UINT64_MAX;
    for (const DWORD pid : pids) {
      const Seen &one = seen.at(pid);
      cpu += one.cpu;
      disk += one.disk;
      first = std::min(first, one.created);
    }
    figures.cpuMs = cpu / ticksPerMs;
    figures.diskBytes = disk;
    figures.startedAfterMs = (first - start) / ticksPerMs;
    result.figures.push_back(figures);
  }
  return result;
}

} // namespace lw
