// The backup file of a long-used installation: nothing ever prunes it, so it holds every entry
// ever deleted or changed, each with its full copy. What one command costs at that size:
// `restore 1`, `restore --list --json`, and the window's walk offering every record once.

#include "BenchProgram.h"
#include "cli/Commands.h"
#include "storage/BackupCopies.h"
#include "storage/Reversal.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace lw {
namespace {

// User entries "Entry 000000", ... removed one a minute on 7 December 2026, each with its copy.
struct BackupOfSize {
  std::string bytes;
  std::vector<std::string> firstRecord;
  std::string firstCopyName;
  std::string firstCopyBytes;
};

BackupOfSize backupOfSize(bench::BenchProgram &program, std::int64_t count) {
  BackupOfSize backup;
  backup.bytes = "Kestrumsoft Launchwright - Backup File\r\n" + std::string(39, '=') + "\r\n\r\n";
  const std::string folder = program.file(copiesFolderName);
  std::filesystem::create_directories(folder);
  program.writeFile("0013cst.ini", "Kestrumsoft Launchwright - Customized Entries\r\n" +
                                       std::string(46, '=') + "\r\n\r\n");
  for (std::int64_t i = 0; i < count; ++i) {
    char header[64], name[32], command[64];
    std::snprintf(header, sizeof header,
                  "Deleted or changed on 7/12/2026 at %d:%d:", static_cast<int>(i / 60 % 24),
                  static_cast<int>(i % 60));
    std::snprintf(name, sizeof name, "Entry %06lld", static_cast<long long>(i));
    std::snprintf(command, sizeof command, "/usr/bin/true --entry %06lld",
                  static_cast<long long>(i));
    const std::vector<std::string> record{header, name, command, "1"};
    backup.bytes += header + std::string("\r\n") + name + "\r\n" + command + "\r\n1\r\n\r\n";
    // Every record is unique, so its copy's name is that of a file holding it alone.
    const std::string copyName = copyFileName(record, 0);
    const std::string copy = copyBytes(record, {command, {}, false, {}, false});
    // Written plainly: twenty thousand flushes to disk would make the set-up the long part.
    std::ofstream(folder + "/" + copyName, std::ios::binary) << copy;
    if (i == 0)
      backup = {std::move(backup.bytes), record, copyName, copy};
  }
  return backup;
}

// Each benchmark runs on backup files of these sizes, a few times each: the figure is the
// growth with the records.
void backupSizes(benchmark::internal::Benchmark *run) {
  run->Arg(1000)
      ->Arg(5000)
      ->Arg(20000)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5)
      ->Complexity(benchmark::oN);
}

void BM_RestoreFirstRecord(benchmark::State &state) {
  bench::BenchProgram program;
  const BackupOfSize backup = backupOfSize(program, state.range(0));
  auto &startup = dynamic_cast<test::FakeStartupState &>(program.platform().startup);
  LanguageTable texts(program.platform());
  cli::Context context{program.platform(), texts, "rwlaunch"};
  for (auto _ : state) {
    state.PauseTiming();
    startup.remove(RegistryRoot::CurrentUser, backup.firstRecord[1]);
    program.writeFile("0013bkp.ini", backup.bytes);
    program.writeFile(std::string(copiesFolderName) + "/" + backup.firstCopyName,
                      backup.firstCopyBytes);
    state.ResumeTiming();

    const cli::Result result = cli::restoreRecord(context, 1);

    state.PauseTiming();
    if (result.status != cli::exitSuccess ||
        startup.get(RegistryRoot::CurrentUser, backup.firstRecord[1]) != backup.firstRecord[2])
      state.SkipWithError("the first record was not restored");
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RestoreFirstRecord)->Apply(backupSizes);

void BM_ListRecordsAsJson(benchmark::State &state) {
  bench::BenchProgram program;
  const BackupOfSize backup = backupOfSize(program, state.range(0));
  program.writeFile("0013bkp.ini", backup.bytes);
  LanguageTable texts(program.platform());
  cli::Context context{program.platform(), texts, "rwlaunch"};
  for (auto _ : state) {
    const cli::Result result = cli::listBackup(context, /*json=*/true);
    benchmark::DoNotOptimize(result.out.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ListRecordsAsJson)->Apply(backupSizes);

// The window's Reverse Startup Changes answered No to every record: each is offered once, with
// whether its name is taken now.
void BM_WalkOfferingEveryRecord(benchmark::State &state) {
  bench::BenchProgram program;
  const BackupOfSize backup = backupOfSize(program, state.range(0));
  program.writeFile("0013bkp.ini", backup.bytes);
  EntryStore store(program.platform());
  Toolbox toolbox(program.platform());
  std::size_t offered = 0;
  const ReversalAnswers answers{[&offered](const BackupRecord &) {
                                  ++offered;
                                  return false;
                                },
                                {}};
  for (auto _ : state) {
    offered = 0;
    reverseStartupChanges(store, toolbox, answers);
    if (offered != static_cast<std::size_t>(state.range(0)))
      state.SkipWithError("not every record was offered");
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WalkOfferingEveryRecord)->Apply(backupSizes);

} // namespace
} // namespace lw
