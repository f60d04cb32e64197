// What each entry cost at logon on Windows: the processes of this session started since it began
// whose image is the entry's program, with their descendants, as the system's process list
// counts them (NtQuerySystemInformation: CPU time of every thread, ended ones included, and the
// I/O transferred). One call lists every process with its figures, with no process opened; each
// is kept as it was last seen, so one that ends before the minute is over keeps its figures.

#include "WindowsImpactMeter.h"

#include "support/WideText.h"

#include <windows.h>

#include <ntsecapi.h>
#include <winternl.h>

#include <algorithm>
#include <map>
#include <set>
#include <thread>
#include <vector>

namespace lw {

namespace {

constexpr std::uint64_t ticksPerMs = 10'000;                      // FILETIME counts 100 ns
constexpr std::uint64_t epochTo1970 = 116444736000000000;         // 1601 to 1970 in 100 ns
constexpr NTSTATUS tooSmall = static_cast<NTSTATUS>(0xC0000004L); // STATUS_INFO_LENGTH_MISMATCH
constexpr const char *noProcess = "no process of its program started after the session began";

std::uint64_t nowTicks() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::wstring fileNameOf(const std::wstring &path) {
  const std::size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

bool sameFileName(const std::wstring &a, const std::wstring &b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// A process as last seen: a process id is reused, so its creation time goes with it.
using ProcessKey = std::pair<DWORD, std::uint64_t>; // id, created
struct Seen {
  DWORD parent = 0;
  DWORD session = 0;
  std::wstring image;
  std::uint64_t cpu = 0, disk = 0;
};

class ProcessList {
public:
  // Every process now with its figures; false when the system gives no list.
  bool sample(std::map<ProcessKey, Seen> &seen) {
    ULONG needed = 0;
    NTSTATUS status;
    while ((status = NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size() * sizeof(ULONGLONG)),
                                              &needed)) == tooSmall)
      buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed / sizeof(ULONGLONG) + 2048));
    if (status < 0)
      return false;
    const auto *bytes = reinterpret_cast<const unsigned char *>(buffer.data());
    for (std::size_t at = 0;;) {
      const auto &one = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION *>(bytes + at);
      const auto id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(one.UniqueProcessId));
      Seen &process = seen[{id, static_cast<std::uint64_t>(one.CreateTime.QuadPart)}];
      process.parent =
          static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(one.InheritedFromUniqueProcessId));
      process.session = one.SessionId;
      if (process.image.empty() && one.ImageName.Buffer)
        process.image.assign(one.ImageName.Buffer, one.ImageName.Length / sizeof(wchar_t));
      process.cpu = static_cast<std::uint64_t>(one.UserTime.QuadPart + one.KernelTime.QuadPart);
      process.disk = one.IoCounters.ReadTransferCount + one.IoCounters.WriteTransferCount;
      if (one.NextEntryOffset == 0)
        return true;
      at += one.NextEntryOffset;
    }
  }

private:
  // Aligned as the list's entries need; grown once to the system's size.
  std::vector<ULONGLONG> buffer = std::vector<ULONGLONG>(32768);
};

// When this process's logon session began, as the system's logon accounting keeps it; 0 where it
// keeps none.
std::uint64_t logonTime() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return 0;
  TOKEN_STATISTICS statistics{};
  DWORD length = 0;
  const bool known =
      GetTokenInformation(token, TokenStatistics, &statistics, sizeof statistics, &length);
  CloseHandle(token);
  PSECURITY_LOGON_SESSION_DATA data = nullptr;
  if (!known || LsaGetLogonSessionData(&statistics.AuthenticationId, &data) != 0 || !data)
    return 0;
  const auto at = static_cast<std::uint64_t>(std::max<LONGLONG>(data->LogonTime.QuadPart, 0));
  LsaFreeReturnBuffer(data);
  return at;
}

// The start of the session: the logon time of this process's logon session, which the user's
// shell and every program it starts at logon (the Run keys among them) share, and which a
// restart of the shell leaves alone. Wine has no logons and gives no time (0): there the session
// began with its server, whose first process (services.exe, started by wineboot) is the oldest
// of the session. Neither is known: now.
std::uint64_t sessionStartOf(const std::map<ProcessKey, Seen> &seen, DWORD session) {
  if (const std::uint64_t logon = logonTime(); logon != 0)
    return logon;
  std::uint64_t oldest = UINT64_MAX;
  for (const auto &[key, one] : seen)
    if (one.session == session && key.second != 0)
      oldest = std::min(oldest, key.second);
  return oldest == UINT64_MAX ? nowTicks() : oldest;
}

} // namespace

ImpactMeasurement WindowsImpactMeter::measure(const std::vector<ImpactTarget> &targets,
                                              std::chrono::milliseconds until, bool once) {
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  ProcessList list;
  std::map<ProcessKey, Seen> seen;
  list.sample(seen);
  const std::uint64_t start = sessionStartOf(seen, session);
  const std::uint64_t end = start + static_cast<std::uint64_t>(until.count()) * ticksPerMs;
  // Most of a logon's work is done in its first seconds: the samples come at 1, 2, 4, 8 ...
  // seconds into the session and at its end, so that a process that ends early is read before
  // it does, and a minute takes half a dozen lists.
  while (!once && nowTicks() < end) {
    const std::uint64_t into = nowTicks() - std::min(start, nowTicks());
    std::uint64_t next = 1000 * ticksPerMs;
    while (next <= into)
      next *= 2;
    const std::uint64_t wake = std::min(end, start + next);
    std::this_thread::sleep_for(std::chrono::milliseconds(
        (wake - std::min(wake, nowTicks()) + ticksPerMs - 1) / ticksPerMs));
    list.sample(seen);
  }

  ImpactMeasurement result;
  result.sessionStart = static_cast<std::int64_t>((start - epochTo1970) / 10'000'000);
  for (const auto &target : targets) {
    const std::wstring image = fileNameOf(wide::fromUtf8(target.program));
    // An entry the program starts itself is its processes begun in the minute it last did.
    std::uint64_t from = start, to = UINT64_MAX;
    if (const auto by = target.startedByUs) {
      if (*by + 60 < result.sessionStart) {
        ImpactFigures figures;
        figures.reason = notStartedByProgram;
        result.figures.push_back(figures);
        continue;
      }
      const auto at = [](std::int64_t seconds) {
        return epochTo1970 +
               static_cast<std::uint64_t>(std::max<std::int64_t>(seconds, 0)) * 1000 * ticksPerMs;
      };
      from = std::max(start, at(*by - 1));
      to = at(*by + 61);
    }
    std::set<ProcessKey> keys;
    for (const auto &[key, one] : seen)
      if (key.second >= from && key.second <= to && one.session == session && !image.empty() &&
          sameFileName(one.image, image))
        keys.insert(key);
    // Its descendants, started by it since: a parent's id may have been another process's, so
    // only a child created after its parent counts.
    for (bool grown = true; grown;) {
      grown = false;
      for (const auto &[key, one] : seen)
        if (!keys.contains(key) && std::ranges::any_of(keys, [&](const ProcessKey &parent) {
              return parent.first == one.parent && parent.second <= key.second;
            }))
          grown = keys.insert(key).second || grown;
    }
    ImpactFigures figures;
    if (keys.empty()) {
      figures.reason = noProcess;
      result.figures.push_back(figures);
      continue;
    }
    std::uint64_t cpu = 0, disk = 0, first = UINT64_MAX;
    for (const ProcessKey &key : keys) {
      const Seen &one = seen.at(key);
      cpu += one.cpu;
      disk += one.disk;
      first = std::min(first, key.second);
    }
    figures.cpuMs = cpu / ticksPerMs;
    figures.diskBytes = disk;
    figures.startedAfterMs = (first - start) / ticksPerMs;
    result.figures.push_back(figures);
  }
  return result;
}

} // namespace lw
