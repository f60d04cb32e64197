#include "BenchProgram.h"
#include "support/LanguageTable.h"
#include "support/TextNumbers.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace lw {
namespace {

// A language file of three sections with every number the program asks for; the last section
// is the configured one, so the load walks past the other two first.
void BM_LanguageTableLoad(benchmark::State &state) {
  bench::BenchProgram program;
  std::string file;
  for (const char *header : {"[English]", "[Deutsch]", "[Français]"}) {
    file += std::string(header) + "\r\n";
    for (auto number : text::all) {
      char prefix[16];
      std::snprintf(prefix, sizeof prefix, "%05d ", number);
      file += prefix + std::string("A text of ordinary length for this place\r\n");
    }
    file += "[EOL]\r\n\r\n";
  }
  program.writeFile("0013trl.ini", file);
  program.writeFile("config.ini", "Language\r\n[Français]\r\nHomepage\r\nhttps://x.example/\r\n");
  LanguageTable table(program.platform());
  for (auto _ : state) {
    table.load();
    benchmark::DoNotOptimize(table.entries().data());
  }
}
BENCHMARK(BM_LanguageTableLoad)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace lw
