// A tick in which many entries come due at once: the first tick of a day, after a resume, or
// when the program starts after a few days off. The shell starts nothing, so the figure is the
// program's own part of the tick: the walk, the one locked read-merge-write and its flush.

#include "BenchProgram.h"
#include "scheduler/Launcher.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace lw {
namespace {

// Once-a-day entries last started on Sunday 6 December 2026 at 09:00.
std::string dueTomorrowFile(std::int64_t count) {
  std::string bytes =
      "Kestrumsoft Launchwright - Customized Entries\r\n" + std::string(46, '=') + "\r\n\r\n";
  for (std::int64_t i = 0; i < count; ++i) {
    char block[160];
    std::snprintf(block, sizeof block,
                  "Entry %06lld\r\n/usr/bin/true --entry %06lld\r\n"
                  "000000000000000x00202612060900\r\n=====%s",
                  static_cast<long long>(i), static_cast<long long>(i),
                  i + 1 < count ? "\r\n" : "");
    bytes += block;
  }
  return bytes;
}

class SettableClock : public Clock {
public:
  LocalTime time;
  LocalTime now() const override { return time; }
  void sleepFor(std::chrono::milliseconds) override {}
};

class CountingShell : public Shell {
public:
  std::size_t started = 0;
  bool open(const std::string &) override {
    ++started;
    return true;
  }
};

void BM_DueStormTick(benchmark::State &state) {
  bench::BenchProgram program;
  SettableClock clock;
  CountingShell shell;
  const Platform &base = program.platform();
  Platform platform{base.registry,    shell,       clock, base.location, base.prompter,
                    base.fileChooser, base.startup};
  const std::string file = dueTomorrowFile(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    // Loaded on the day of the last start, when nothing is due yet.
    program.writeFile("0013cst.ini", file);
    Launcher launcher(platform, {});
    clock.time = {2026, 12, 6, 18, 0, 0, 0};
    launcher.reloadPending = true;
    launcher.tick();
    shell.started = 0;
    clock.time = {2026, 12, 7, 10, 0, 0, 1};
    state.ResumeTiming();

    launcher.tick();

    state.PauseTiming();
    if (shell.started != static_cast<std::size_t>(state.range(0)))
      state.SkipWithError("not every entry was started");
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DueStormTick)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->Complexity(benchmark::oN);

} // namespace
} // namespace lw
