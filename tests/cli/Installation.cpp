#include "Installation.h"

#include <algorithm>

namespace lw::test {

namespace fs = std::filesystem;

Installation::Installation(const std::string &programFolder)
    : program(dir.path() / programFolder), home(dir.path() / "home"), config(dir.path() / "config"),
      system(dir.path() / "xdg") {
  for (const auto &folder : {program, home, config, system})
    fs::create_directories(folder);
  const fs::path built(LW_BUILT_PROGRAM_DIR);
  for (const auto &file : programFiles())
    fs::copy_file(built / file, program / file);
  for (const char *file : {"config.ini", "0013trl.ini", "0013cst.ini", "0013bkp.ini"})
    fs::copy_file(built / file, program / file);
}

Outcome Installation::run(const std::vector<std::string> &arguments,
                          const std::vector<std::string> &environment,
                          std::uint64_t addressSpace) const {
  std::vector<std::string> argv{(program / commandLineFile()).string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return execute(argv, environment, addressSpace);
}

Outcome Installation::runFile(const std::string &file,
                              const std::vector<std::string> &arguments) const {
  std::vector<std::string> argv{(program / file).string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return execute(argv, {}, 0);
}

std::map<std::string, std::string> Installation::snapshot() const {
  const auto programs = programFiles();
  std::map<std::string, std::string> files;
  for (const auto &root : {program, config, system})
    for (const auto &entry : fs::recursive_directory_iterator(root))
      if (entry.is_regular_file() &&
          std::ranges::find(programs, entry.path().filename().string()) == programs.end() &&
          entry.path().extension() != ".lock")
        files[entry.path().string()] =
            entry.file_size() > (1u << 20)
                ? std::to_string(entry.file_size()) + " bytes of " +
                      std::to_string(entry.last_write_time().time_since_epoch().count())
                : slurp(entry.path());
  return files;
}

} // namespace lw::test
