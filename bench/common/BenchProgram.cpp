#include "BenchProgram.h"

#include "support/TextFile.h"

#include <unistd.h>

namespace lw::bench {

BenchProgram::BenchProgram()
    : dir(std::filesystem::temp_directory_path() /
          ("launchwright-bench-" + std::to_string(::getpid()))),
      system{registry, shell, clock, location, prompter, chooser, startup} {
  std::filesystem::create_directories(dir);
  location.path = (dir / "launchwright").string();
}

BenchProgram::~BenchProgram() {
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
}

void BenchProgram::writeFile(const std::string &name, const std::string &bytes) const {
  textfile::writeAtomically(file(name), bytes);
}

} // namespace lw::bench
