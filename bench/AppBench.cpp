// Start-up of the main window to a filled list, against a bare Qt dialog that fills the same
// rows into the same kind of view: the difference is what the program's own reading and
// bookkeeping cost.

#include "BenchProgram.h"
#include "app/MainDialog.h"
#include "app/Tray.h"
#include "entries/CustomizedTiming.h"
#include "native/Native.h"
#include "native/linux/XdgRegistry.h"
#include "platform/RunKeyStartupState.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace lw {
namespace {

void ensureApplication() {
  static int argc = 1;
  static char name[] = "bench_app";
  static char *argv[] = {name, nullptr};
  if (!QApplication::instance()) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform reports every window feature it lacks on each show; writing that
    // out would be most of what is measured.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    new QApplication(argc, argv);
  }
}

// Run keys in memory, enumerated in the order the values were first written.
class MemoryRegistry : public Registry {
public:
  std::optional<std::string> read(RegistryRoot root, std::string_view keyPath,
                                  std::string_view name) override {
    const Key &key = keys[{root, std::string(keyPath)}];
    const auto value = key.data.find(std::string(name));
    if (value == key.data.end())
      return std::nullopt;
    return value->second;
  }
  std::optional<std::vector<std::string>> enumerate(RegistryRoot root,
                                                    std::string_view keyPath) override {
    return keys[{root, std::string(keyPath)}].order;
  }
  bool write(RegistryRoot root, std::string_view keyPath, std::string_view name,
             std::string_view data) override {
    Key &key = keys[{root, std::string(keyPath)}];
    if (key.data.insert_or_assign(std::string(name), std::string(data)).second)
      key.order.emplace_back(name);
    return true;
  }
  bool remove(RegistryRoot, std::string_view, std::string_view) override { return true; }

private:
  struct Key {
    std::vector<std::string> order;
    std::unordered_map<std::string, std::string> data;
  };
  std::map<std::pair<RegistryRoot, std::string>, Key> keys;
};

struct NoTray : Tray {
  bool available() const override { return false; }
  bool add() override { return false; }
  void remove() override {}
  bool isShown() const override { return false; }
  void showMessage(const std::string &, const std::string &) override {}
};

std::string entryName(const char *prefix, std::int64_t i) {
  char name[48];
  std::snprintf(name, sizeof name, "%s %06lld", prefix, static_cast<long long>(i));
  return name;
}

// A program directory with count customized entries and runCount in each Run key.
struct ListProgram {
  explicit ListProgram(std::int64_t count) : ListProgram(count, count) {}
  ListProgram(std::int64_t count, std::int64_t runCount)
      : platform{registry,
                 base.platform().shell,
                 base.platform().clock,
                 base.platform().location,
                 base.platform().prompter,
                 base.platform().fileChooser,
                 startup} {
    for (const char *file : {"config.ini", "0013trl.ini"})
      std::filesystem::copy_file(std::filesystem::path(LW_RESOURCE_DIR) / file, base.file(file));
    std::string bytes =
        "Kestrumsoft Launchwright - Customized Entries\r\n" + std::string(46, '=') + "\r\n\r\n";
    for (std::int64_t i = 0; i < count; ++i) {
      bytes += entryName("Entry", i) + "\r\n/usr/bin/true --entry " + std::to_string(i) +
               "\r\n090000000000000x00202612070900";
      bytes += i + 1 < count ? "\r\n=====\r\n" : "\r\n=====";
    }
    base.writeFile("0013cst.ini", bytes);
    // The starter value that every refresh writes is one of the user's entries from the start,
    // so that each start-up lists the same rows.
    registry.write(RegistryRoot::CurrentUser, keys::run, "Launchwright", base.file("rwlaunch"));
    for (std::int64_t i = 1; i < runCount; ++i)
      registry.write(RegistryRoot::CurrentUser, keys::run, entryName("User", i),
                     "/usr/bin/user-tool --n " + std::to_string(i));
    for (std::int64_t i = 0; i < runCount; ++i)
      registry.write(RegistryRoot::LocalMachine, keys::run, entryName("Machine", i),
                     "/usr/bin/machine-tool --n " + std::to_string(i));
  }

  bench::BenchProgram base;
  MemoryRegistry registry;
  RunKeyStartupState startup{registry};
  Platform platform;
};

void BM_StartupList(benchmark::State &state) {
  ensureApplication();
  ListProgram program(state.range(0));
  NoTray tray;
  for (auto _ : state) {
    MainDialog window(program.platform, tray);
    window.OnInitDialog();
    window.show();
    benchmark::DoNotOptimize(window.entryList->model()->rowCount());
  }
  MainDialog check(program.platform, tray);
  check.OnInitDialog();
  if (check.entryList->model()->rowCount() != 3 * state.range(0))
    state.SkipWithError("the list does not hold every entry");
}
BENCHMARK(BM_StartupList)->Arg(1000)->Unit(benchmark::kMillisecond);

// A refresh of the list as every entry command ends, with the customized rows' timings, and the
// timings alone: the refresh without them costs the difference.
void BM_Refresh(benchmark::State &state) {
  ensureApplication();
  ListProgram program(state.range(0), state.range(1));
  NoTray tray;
  MainDialog window(program.platform, tray);
  window.OnInitDialog();
  for (auto _ : state)
    window.refreshList();
}
BENCHMARK(BM_Refresh)->Args({1000, 0})->Args({1000, 1000})->Unit(benchmark::kMillisecond);

// The list's reading of as many switched-off customized entries: the store of the switches (the
// real file, not memory) and the entries file are each read once and matched up by hash, so
// that the cost grows with the entries, not with their square.
void BM_SwitchedOffList(benchmark::State &state) {
  ListProgram program(state.range(0), 0);
  const std::filesystem::path dir = program.base.file("xdg");
  XdgLocations locations;
  locations.userAutostart = (dir / "autostart").string();
  locations.systemAutostart = {(dir / "system" / "autostart").string()};
  locations.storeFile = (dir / "registry.ini").string();
  std::string store = std::string("[HKEY_CURRENT_USER\\") + keys::disabledCustomized + "]\n";
  for (std::int64_t i = 0; i < state.range(0); ++i)
    store += entryName("Entry", i) + "=1\n";
  std::filesystem::create_directories(dir);
  std::ofstream(locations.storeFile, std::ios::binary) << store;
  XdgRegistry registry(locations);
  RunKeyStartupState startup{registry};
  const Platform platform{registry,
                          program.base.platform().shell,
                          program.base.platform().clock,
                          program.base.platform().location,
                          program.base.platform().prompter,
                          program.base.platform().fileChooser,
                          startup};
  LanguageTable texts(platform);
  texts.load();
  Toolbox toolbox(platform);
  std::size_t rows = 0;
  for (auto _ : state) {
    const auto listing = readStartupList(platform, toolbox, texts);
    rows = listing.notStarting;
    benchmark::DoNotOptimize(listing.rows.data());
  }
  if (rows != static_cast<std::size_t>(state.range(0)))
    state.SkipWithError("not every entry was listed as switched off");
}
BENCHMARK(BM_SwitchedOffList)->Arg(60000)->Unit(benchmark::kMillisecond);

void BM_CustomizedTimings(benchmark::State &state) {
  ensureApplication();
  ListProgram program(state.range(0));
  LanguageTable texts(program.platform);
  texts.load();
  Toolbox toolbox(program.platform);
  auto rows = readStartupList(program.platform, toolbox, texts).rows;
  const LocalTime now = program.platform.clock.now();
  for (auto _ : state) {
    describeTimings(rows, now, {}, {}, texts);
    benchmark::DoNotOptimize(rows.front().timing.data());
  }
}
BENCHMARK(BM_CustomizedTimings)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_BareQtList(benchmark::State &state) {
  ensureApplication();
  std::vector<std::array<std::string, 3>> rows;
  for (std::int64_t i = 0; i < state.range(0); ++i)
    rows.push_back({entryName("Entry", i), "Customized", "/usr/bin/true --entry"});
  for (std::int64_t i = 0; i < state.range(0); ++i)
    rows.push_back({entryName("User", i), "Current User", "/usr/bin/user-tool"});
  for (std::int64_t i = 0; i < state.range(0); ++i)
    rows.push_back({entryName("Machine", i), "All Users", "/usr/bin/machine-tool"});

  for (auto _ : state) {
    QDialog window;
    auto *layout = new QVBoxLayout(&window);
    auto *list = new QTreeWidget(&window);
    layout->addWidget(list);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setHeaderLabels({"Name", "Kind", "Command"});
    QList<QTreeWidgetItem *> items;
    items.reserve(static_cast<qsizetype>(rows.size()));
    for (const auto &row : rows)
      items.append(new QTreeWidgetItem(QStringList{QString::fromLocal8Bit(row[0]),
                                                   QString::fromLocal8Bit(row[1]),
                                                   QString::fromLocal8Bit(row[2])}));
    list->addTopLevelItems(items);
    window.show();
    benchmark::DoNotOptimize(list->topLevelItemCount());
  }
}
BENCHMARK(BM_BareQtList)->Arg(1000)->Unit(benchmark::kMillisecond);

// A refresh of 1,000 user and 1,000 machine autostart files in temporary XDG folders. Arg 1
// asks the platform's own startup state, which judges every file for the Status column; arg 0
// lists the same folders as bare Run values, everything starting: the refresh without Status.
void BM_RefreshStatus(benchmark::State &state) {
  ensureApplication();
  bench::BenchProgram base;
  const std::filesystem::path config = base.file("config-home");
  const std::filesystem::path system = base.file("config-dirs");
  for (const char *file : {"config.ini", "0013trl.ini", "0013cst.ini"})
    std::filesystem::copy_file(std::filesystem::path(LW_RESOURCE_DIR) / file, base.file(file));
  for (const auto &[folder, prefix] :
       {std::pair{config / "autostart", "user"}, std::pair{system / "autostart", "machine"}}) {
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 1000; ++i) {
      std::ofstream out(folder / (entryName(prefix, i) + ".desktop"));
      out << "[Desktop Entry]\nType=Application\nName=" << prefix << i << "\nExec=/usr/bin/env --n "
          << i << "\nOnlyShowIn=" << (i % 3 ? "KDE;" : "LXQt;") << "\nX-GNOME-Autostart-Delay=2\n";
    }
  }
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  setenv("XDG_CONFIG_DIRS", system.c_str(), 1);
  setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
  XdgRegistry registry(xdgLocations(&std::getenv));
  RunKeyStartupState plain(registry);
  const auto native = makeNativeStartupState();
  Platform &stand = base.platform();
  Platform platform{registry,
                    stand.shell,
                    stand.clock,
                    stand.location,
                    stand.prompter,
                    stand.fileChooser,
                    state.range(0) ? *native : static_cast<StartupState &>(plain)};
  NoTray tray;
  MainDialog window(platform, tray);
  window.OnInitDialog();
  for (auto _ : state)
    window.refreshList();
  if (window.entryList->model()->rowCount() != 2000)
    state.SkipWithError("the list does not hold every file");
}
BENCHMARK(BM_RefreshStatus)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace lw
