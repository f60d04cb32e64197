// Listing the systemd user units with a thousand units enabled into default.target, on a private
// user manager of the benchmark's own (root, in a mount namespace; see PrivateUserManager.h).
// What it waits on is the manager: one listing should stay well under 300 ms.

#include "PrivateUserManager.h"
#include "native/linux/SystemdUserUnits.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int unitCount = 1000;

// Set up once for the process: the manager keeps running until the benchmark ends.
struct Setting {
  fs::path work = fs::temp_directory_path() / ("lw-bench-units-" + std::to_string(::getpid()));
  lw::test::PrivateUserManager manager;
  std::string why;

  Setting() {
    fs::remove_all(work);
    fs::create_directories(work);
    why = manager.prepare(work);
    if (!why.empty())
      return;
    const fs::path wants = manager.user / "default.target.wants";
    fs::create_directories(wants);
    for (int i = 0; i < unitCount; ++i) {
      const std::string name = "lw-bench-" + std::to_string(i) + ".service";
      std::ofstream(manager.user / name)
          << "[Service]\nType=oneshot\nExecStart=/bin/true\n[Install]\nWantedBy=default.target\n";
      fs::create_symlink("../" + name, wants / name);
    }
    if (!manager.start())
      why = "the private user manager did not start";
  }
  ~Setting() {
    manager.stop();
    std::error_code ignored;
    fs::remove_all(work, ignored);
  }
};

void BM_ListThousandUnits(benchmark::State &state) {
  static Setting setting;
  if (!setting.why.empty()) {
    state.SkipWithError(setting.why.c_str());
    return;
  }
  lw::SystemdUserUnits source;
  std::size_t rows = 0;
  for (auto _ : state) {
    const auto listing = source.list();
    if (listing.unavailable) {
      state.SkipWithError(listing.unavailable->c_str());
      return;
    }
    rows = listing.items.size();
  }
  state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_ListThousandUnits)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
