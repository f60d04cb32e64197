#include "BenchProgram.h"
#include "scheduler/Launcher.h"
#include "scheduler/Schedule.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace lw {
namespace {

// An entries file of `count` customized entries, cycling through every kind of schedule, none
// of which is due at the bench clock's time (Monday 7 December 2026, 10:00).
std::string idleEntriesFile(std::int64_t count) {
  static const char *const lines[] = {
      "000000000000000x00202612070900", // once a day, started today
      "010000000000000x00202612060900", // every other day, started yesterday
      "020000000000000x00202612020900", // once a week, five days ago
      "030000000000000x00202612010000", // once a month, this month
      "040000000000000x00202601010000", // once a year, this year
      "050120000000000x00202612070930", // every 120 minutes, half an hour ago
      "060000000200000x00202612070900", // every 2 hours, an hour ago
      "070000000000300x00202612060000", // every 3 days, yesterday
      "080000000000002x00202612010000", // every 2 weeks, last week
      "090000000000000400202611010000", // on Wednesdays
      "100000000000000x15202611010000", // on the 15th
  };
  std::string bytes =
      "Kestrumsoft Launchwright - Customized Entries\r\n" + std::string(46, '=') + "\r\n\r\n";
  for (std::int64_t i = 0; i < count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Entry %06lld", static_cast<long long>(i));
    bytes += name;
    bytes += "\r\n/usr/bin/true --entry ";
    bytes += name + 6;
    bytes += "\r\n";
    bytes += lines[i % std::size(lines)];
    bytes += i + 1 < count ? "\r\n=====\r\n" : "\r\n=====";
  }
  return bytes;
}

void checkIdle(benchmark::State &state, const Launcher &launcher,
               const std::vector<std::string> &before) {
  if (launcher.timerEntries != before)
    state.SkipWithError("an entry was due; the benchmark would measure writes");
}

void BM_IdleTick(benchmark::State &state) {
  bench::BenchProgram program;
  program.writeFile("0013cst.ini", idleEntriesFile(state.range(0)));
  Launcher launcher(program.platform(), {});
  launcher.reloadPending = true;
  launcher.tick();
  const auto loaded = launcher.timerEntries;
  if (loaded.size() != static_cast<std::size_t>(state.range(0)) * 4)
    state.SkipWithError("the entries file was not loaded whole");
  for (auto _ : state) {
    launcher.tick();
    benchmark::ClobberMemory();
  }
  checkIdle(state, launcher, loaded);
  state.counters["per_entry"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}
BENCHMARK(BM_IdleTick)->Arg(10000)->Unit(benchmark::kMicrosecond);

// A tick that reloads: reads and splits the whole file, then walks it.
void BM_Reload(benchmark::State &state) {
  bench::BenchProgram program;
  program.writeFile("0013cst.ini", idleEntriesFile(state.range(0)));
  Launcher launcher(program.platform(), {});
  for (auto _ : state) {
    launcher.reloadPending = true;
    launcher.tick();
    benchmark::DoNotOptimize(launcher.timerEntries.data());
  }
  if (launcher.timerEntries.size() != static_cast<std::size_t>(state.range(0)) * 4)
    state.SkipWithError("the entries file was not loaded whole");
}
BENCHMARK(BM_Reload)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace lw
