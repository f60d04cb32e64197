#pragma once
// What each entry started at logon cost: its CPU time and disk I/O over the first minute of the
// session, and how long after the session's start it began. The owner's own accounting comes
// first (the systemd user manager's per unit), the kernel's process times second; a figure that
// cannot be read is left out with the reason, never guessed.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lw {

// One entry to measure, as the core names it.
struct ImpactTarget {
  std::string kind; // the word --kind takes
  std::string name; // exact bytes
  // The program it runs: its processes are the entry's where no manager accounts for it.
  std::string program;
  // The service unit that runs it, where the session starts it as one (a systemd unit, an
  // autostart entry's generated unit); empty: none.
  std::string unit;
  // The autostart file that names it, where it has one: a systemd session runs it as a unit
  // generated from that file.
  std::string file;
  // An entry the program starts itself (by its timer or Start Now): when it last did, seconds
  // since 1970, to the minute. Only processes of its program begun in that minute are its own.
  std::optional<std::int64_t> startedByUs;
};

// The reason of an entry with `startedByUs` that was not started since the session began.
inline constexpr const char *notStartedByProgram =
    "Launchwright has not started it since the session began (its timer or Start Now)";

struct ImpactFigures {
  std::optional<std::uint64_t> cpuMs;
  std::optional<std::uint64_t> diskBytes;
  std::optional<std::uint64_t> startedAfterMs;
  std::string reason; // why a figure is missing, in English; empty when every one is there
};

struct ImpactMeasurement {
  std::int64_t sessionStart = 0;      // seconds since 1970, UTC
  std::vector<ImpactFigures> figures; // one for each target, in their order
};

class ImpactMeter {
public:
  virtual ~ImpactMeter() = default;
  // Measures every target from the session's start until `until` after it, sampling as it goes
  // so that a process that ends in between keeps its last figures; reads once and returns at
  // once when that time has passed, or with `once`.
  virtual ImpactMeasurement measure(const std::vector<ImpactTarget> &targets,
                                    std::chrono::milliseconds until, bool once) = 0;
};

} // namespace lw
