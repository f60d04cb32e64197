#include "ProcessCosts.h"

#include <algorithm>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

namespace lw {

namespace {

std::uint64_t numberAt(const std::vector<std::string_view> &fields, std::size_t index) {
  std::uint64_t value = 0;
  if (index < fields.size())
    std::from_chars(fields[index].data(), fields[index].data() + fields[index].size(), value);
  return value;
}

std::optional<std::uint64_t> ioValue(const std::string &io, std::string_view key) {
  const std::size_t at = io.find(key);
  if (at == std::string::npos)
    return std::nullopt;
  std::uint64_t value = 0;
  const char *begin = io.data() + at + key.size();
  while (*begin == ' ')
    ++begin;
  const auto [end, error] = std::from_chars(begin, io.data() + io.size(), value);
  if (error != std::errc())
    return std::nullopt;
  return value;
}

} // namespace

std::string fileNameOf(const std::string &path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// The whole of a small /proc file through a descriptor kept open: each read from its start
// gives the figures of now. Nothing once the process has ended.
std::optional<std::string> reread(int file) {
  std::string bytes;
  char buffer[1024];
  off_t at = 0;
  ssize_t got = 0;
  // A read that does not fill the buffer had the whole file: the kernel makes these files in
  // one go, and a second call only to learn of their end would double the cost of a sample.
  while ((got = ::pread(file, buffer, sizeof buffer, at)) > 0) {
    bytes.append(buffer, static_cast<std::size_t>(got));
    at += got;
    if (got < static_cast<ssize_t>(sizeof buffer))
      break;
  }
  if (got < 0)
    return std::nullopt;
  return bytes;
}

// A small /proc file whole: the recorder reads hundreds of them a minute, and its own cost is
// what it must keep small. Nothing when the process has ended or is another user's.
std::optional<std::string> contents(const std::string &path) {
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0)
    return std::nullopt;
  auto bytes = reread(file);
  ::close(file);
  return bytes;
}

// The figures of stat, which change while the process runs.
bool parseStat(const std::string &stat, ProcessReading &reading, std::string *name = nullptr) {
  // The command's name in parentheses may hold anything, spaces and parentheses too.
  const std::size_t open = stat.find('('), close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open ||
      close + 2 > stat.size())
    return false;
  if (name)
    name->assign(stat, open + 1, close - open - 1);
  std::vector<std::string_view> fields; // fields[0] is the state, the third of stat(5)
  const std::string_view rest = std::string_view(stat).substr(close + 2);
  for (std::size_t start = 0; start < rest.size() && fields.size() < 20;) {
    const std::size_t space = rest.find(' ', start);
    fields.push_back(rest.substr(start, space - start));
    if (space == std::string_view::npos)
      break;
    start = space + 1;
  }
  reading.parent = static_cast<int>(numberAt(fields, 1));
  // utime, stime, cutime and cstime are fields 14 to 17, starttime 22.
  reading.cpuTicks =
      numberAt(fields, 11) + numberAt(fields, 12) + numberAt(fields, 13) + numberAt(fields, 14);
  reading.startTicks = numberAt(fields, 19);
  return true;
}

void parseIo(const std::optional<std::string> &io, ProcessReading &reading) {
  reading.diskBytes.reset();
  if (!io)
    return;
  const auto read = ioValue(*io, "read_bytes:"), written = ioValue(*io, "write_bytes:");
  if (read && written)
    reading.diskBytes = *read + *written;
}

bool readFigures(const std::string &folder, ProcessReading &reading) {
  const auto stat = contents(folder + "/stat");
  if (!stat || !parseStat(*stat, reading))
    return false;
  parseIo(contents(folder + "/io"), reading);
  return true;
}

// Its program's name and its first two arguments', which do not change once it runs.
// Its arguments are read only where its program file is none of `programs`: they matter for a
// script's interpreter or a program started through a link of another name.
void readNames(const std::string &folder, ProcessReading &reading,
               const std::set<std::string> &programs = {}) {
  char target[4096];
  const ssize_t length = readlink((folder + "/exe").c_str(), target, sizeof target - 1);
  if (length > 0)
    reading.exe = fileNameOf(std::string(target, static_cast<std::size_t>(length)));
  if (programs.contains(reading.exe))
    return;
  if (const auto line = contents(folder + "/cmdline")) {
    const std::size_t end = line->find('\0');
    reading.arg0 = fileNameOf(line->substr(0, end));
    if (end != std::string::npos && end + 1 < line->size())
      reading.arg1 = fileNameOf(line->substr(end + 1, line->find('\0', end + 1) - end - 1));
  }
}

} // namespace

std::optional<ProcessReading> readProcess(const std::string &proc, int pid) {
  const std::string folder = proc + '/' + std::to_string(pid);
  ProcessReading reading;
  reading.pid = pid;
  if (!readFigures(folder, reading))
    return std::nullopt;
  readNames(folder, reading);
  return reading;
}

namespace {

// How the kernel names a process: the file it was started from, cut to 15 bytes.
constexpr std::size_t kernelNameLength = 15;

} // namespace

ProcessCosts::ProcessCosts(std::string procFolder, std::uint64_t sinceTicks,
                           const std::vector<std::string> &programs)
    : proc(std::move(procFolder)), since(sinceTicks) {
  for (const auto &program : programs)
    if (const std::string name = fileNameOf(program); !name.empty()) {
      names.insert(name.substr(0, kernelNameLength));
      programFiles.insert(name);
    }
}

ProcessCosts::~ProcessCosts() {
  for (const auto &[pid, kept] : files) {
    ::close(kept.stat);
    if (kept.io >= 0)
      ::close(kept.io);
  }
}

void ProcessCosts::forget(int pid) {
  const auto kept = files.find(pid);
  if (kept == files.end())
    return;
  ::close(kept->second.stat);
  if (kept->second.io >= 0)
    ::close(kept->second.io);
  files.erase(kept);
}

bool ProcessCosts::readAgain(int pid) {
  const auto kept = files.find(pid);
  const auto known = readings.find(pid);
  if (kept == files.end() || known == readings.end())
    return false;
  ProcessReading reading = known->second;
  const auto stat = reread(kept->second.stat);
  // Ended, and perhaps its id taken again: whatever runs under it now is read as new.
  if (!stat || !parseStat(*stat, reading) || reading.startTicks != known->second.startTicks) {
    forget(pid);
    return false;
  }
  // A process that used no CPU since it was last read made no disk I/O worth a read either.
  reading.resting = reading.cpuTicks == known->second.cpuTicks;
  if (!reading.resting)
    parseIo(kept->second.io >= 0 ? reread(kept->second.io) : std::nullopt, reading);
  reading.alive = true;
  known->second = std::move(reading);
  return true;
}

void ProcessCosts::readNew(int pid, const std::set<int> &roots) {
  const std::string path = proc + '/' + std::to_string(pid);
  const int statFile = ::open((path + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
  if (statFile < 0)
    return;
  ProcessReading reading;
  reading.pid = pid;
  const auto stat = reread(statFile);
  std::string kernelName;
  if (!stat || !parseStat(*stat, reading, &kernelName) || reading.startTicks < since) {
    if (stat)
      before.insert(pid);
    ::close(statFile);
    return;
  }
  if (!roots.contains(pid) && !names.contains(kernelName) && !readings.contains(reading.parent)) {
    passed.insert(pid);
    ::close(statFile);
    return;
  }
  const int ioFile = ::open((path + "/io").c_str(), O_RDONLY | O_CLOEXEC);
  parseIo(ioFile >= 0 ? reread(ioFile) : std::nullopt, reading);
  const auto known = readings.find(pid);
  if (known != readings.end() && known->second.startTicks == reading.startTicks) {
    reading.resting = reading.cpuTicks == known->second.cpuTicks;
    reading.exe = std::move(known->second.exe);
    reading.arg0 = std::move(known->second.arg0);
    reading.arg1 = std::move(known->second.arg1);
  } else if (programFiles.contains(kernelName)) {
    // Started from a file of a program's very name (a link to another program, or a script):
    // that is the name it is known by, and nothing more need be read to know it.
    reading.exe = kernelName;
  } else {
    readNames(path, reading, programFiles);
  }
  readings[pid] = std::move(reading);
  // Kept open, the next sample reads it with one call a file instead of three, within a bound
  // that leaves the process its descriptors.
  if (files.size() < keptOpen) {
    files[pid] = {statFile, ioFile};
  } else {
    ::close(statFile);
    if (ioFile >= 0)
      ::close(ioFile);
  }
}

void ProcessCosts::sample(const std::set<int> &roots, bool last) {
  for (auto &[pid, reading] : readings)
    reading.alive = false;
  DIR *folder = opendir(proc.c_str());
  if (!folder)
    return;
  while (const dirent *item = readdir(folder)) {
    int pid = 0;
    const char *name = item->d_name;
    const auto [end, error] =
        std::from_chars(name, name + std::char_traits<char>::length(name), pid);
    // A process from before the session is passed over for good: its id comes back for
    // another process only after the id space has been gone through.
    if (error != std::errc() || *end != '\0' || before.contains(pid) ||
        (passed.contains(pid) && !roots.contains(pid)))
      continue;
    // Taken to be the same process still resting; should it have ended and its id been taken
    // again, the last sample finds out.
    if (const auto known = readings.find(pid);
        !last && known != readings.end() && known->second.resting) {
      known->second.alive = true;
      continue;
    }
    if (!readAgain(pid))
      readNew(pid, roots);
  }
  closedir(folder);
}

std::set<int> ProcessCosts::withDescendants(const std::set<int> &roots) const {
  std::set<int> found = roots;
  for (bool grown = true; grown;) {
    grown = false;
    for (const auto &[pid, reading] : readings)
      if (!found.contains(pid) && found.contains(reading.parent))
        grown = found.insert(pid).second;
  }
  return found;
}

std::set<int> ProcessCosts::runningProgram(const std::string &fileName) const {
  std::set<int> found;
  if (fileName.empty())
    return found;
  for (const auto &[pid, reading] : readings)
    if (reading.exe == fileName || reading.arg0 == fileName || reading.arg1 == fileName)
      found.insert(pid);
  // A program's own children that run it again are counted through their parent already.
  std::erase_if(found, [&](int pid) { return found.contains(readings.at(pid).parent); });
  return found;
}

ProcessCosts::Sum ProcessCosts::sum(const std::set<int> &pids) const {
  Sum total;
  for (const int pid : pids) {
    const auto found = readings.find(pid);
    if (found == readings.end())
      continue;
    const ProcessReading &reading = found->second;
    total.firstStart = std::min(total.firstStart, reading.startTicks);
    if (!reading.alive) {
      const auto parent = readings.find(reading.parent);
      if (pids.contains(reading.parent) && parent != readings.end() && parent->second.alive)
        continue;
    }
    total.cpuTicks += reading.cpuTicks;
    if (total.diskBytes && reading.diskBytes)
      *total.diskBytes += *reading.diskBytes;
    else
      total.diskBytes.reset();
  }
  return total;
}

std::uint64_t ticksPerSecond() {
  const long ticks = sysconf(_SC_CLK_TCK);
  return ticks > 0 ? static_cast<std::uint64_t>(ticks) : 100;
}

std::optional<std::int64_t> bootTime(const std::string &proc) {
  const auto stat = contents(proc + "/stat");
  if (!stat)
    return std::nullopt;
  std::istringstream lines(*stat);
  for (std::string line; std::getline(lines, line);)
    if (line.starts_with("btime "))
      return std::stoll(line.substr(6));
  return std::nullopt;
}

} // namespace lw
