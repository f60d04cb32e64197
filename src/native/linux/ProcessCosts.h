#pragma once
// The kernel's figures of the processes that started after the session did, read from /proc
// and kept as they were last seen, so that a process that has ended still counts with what it
// had used when it was last read.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lw {

struct ProcessReading {
  int pid = 0, parent = 0;
  std::uint64_t startTicks = 0; // clock ticks since boot
  // Its own CPU time and that of the children it has waited for, in clock ticks.
  std::uint64_t cpuTicks = 0;
  // Bytes it (and the children it has waited for) made the disk read and write; nothing where
  // /proc/<pid>/io cannot be read.
  std::optional<std::uint64_t> diskBytes;
  std::string exe;  // the program file's name without its folder
  std::string arg0; // the same of its first and second argument (a script's interpreter)
  std::string arg1;
  bool alive = true;    // still there when it was last looked for
  bool resting = false; // used no CPU between its last two readings
};

// The stat and io files of one process under `proc`; nothing when it is gone.
std::optional<ProcessReading> readProcess(const std::string &proc, int pid);
// The name of a path after its last '/'.
std::string fileNameOf(const std::string &path);

class ProcessCosts {
public:
  // Only processes started at or after `sinceTicks` are read, and of those only the ones that
  // may be an entry's: whose name the kernel gives (the file it was started from, cut to 15
  // bytes) is the start of one of `programs`' file names, one of the roots a sample is given,
  // or a child of one followed already. The others cost one read each, once.
  ProcessCosts(std::string procFolder, std::uint64_t sinceTicks,
               const std::vector<std::string> &programs);
  ~ProcessCosts();
  ProcessCosts(const ProcessCosts &) = delete;
  ProcessCosts &operator=(const ProcessCosts &) = delete;
  // Reads every process followed once more, and those started since the last sample; `roots`
  // are followed whatever their name (the main processes of units). Most of a session's
  // processes wait most of the time: a sample that is not the `last` passes over those that
  // rested since the one before, and the last reads every one again.
  void sample(const std::set<int> &roots = {}, bool last = false);
  const std::map<int, ProcessReading> &seen() const { return readings; }
  // The processes of these pids and all their descendants, as far as they were seen.
  std::set<int> withDescendants(const std::set<int> &roots) const;
  // Those whose program, or the script their interpreter runs, has this file name.
  std::set<int> runningProgram(const std::string &fileName) const;
  // The CPU ticks and disk bytes of these processes together: one that has ended counts only
  // where no process among them is its parent still there, which took its times in when it
  // waited for it. Disk is nothing when one of them could not be read.
  struct Sum {
    std::uint64_t cpuTicks = 0;
    std::optional<std::uint64_t> diskBytes = 0;
    std::uint64_t firstStart = UINT64_MAX;
  };
  Sum sum(const std::set<int> &pids) const;

private:
  // The stat and io files of a process read before, open.
  struct Files {
    int stat = -1, io = -1;
  };
  static constexpr std::size_t keptOpen = 256;

  // Reads a process kept open once more; false when it is not kept or has ended.
  bool readAgain(int pid);
  void forget(int pid);
  // Reads a process not followed yet, and follows it where it may be an entry's.
  void readNew(int pid, const std::set<int> &roots);

  std::string proc;
  std::map<int, Files> files;
  std::uint64_t since;
  std::map<int, ProcessReading> readings;
  std::set<int> before;               // processes from before the session
  std::set<int> passed;               // processes of the session that are no entry's
  std::set<std::string> programFiles; // the programs' file names
  std::set<std::string> names;        // the same cut as the kernel names a process
};

// Clock ticks a second, and the boot time in seconds since 1970 from /proc/stat.
std::uint64_t ticksPerSecond();
std::optional<std::int64_t> bootTime(const std::string &proc);

} // namespace lw
