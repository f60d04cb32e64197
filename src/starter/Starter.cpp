#include "Starter.h"

#include "support/ProgramValues.h"

#include <filesystem>

namespace lw {

bool runStarter(Registry &registry, const ProgramLocation &location, const ProgramStart &start,
                std::string &program) {
  const std::string self = location.executablePath();
  const auto cut = self.find_last_of(location.separator());
  program = programBeside(cut == std::string::npos ? std::string() : self.substr(0, cut + 1));
  if (cut == std::string::npos)
    return false;

  ProgramValues(registry).setLogonMarker();
  if (start(program))
    return true;
  ProgramValues(registry).takeLogonMarker();
  return false;
}

std::string programBeside(const std::string &starterDirectory) {
  const std::string beside = starterDirectory + std::string(mainProgramName);
  // Installed, the starter lives in <prefix>/libexec/launchwright and the program in <prefix>/bin.
  const auto directory = std::filesystem::path(starterDirectory).parent_path();
  std::error_code ignored;
  if (directory.filename() != "launchwright" || directory.parent_path().filename() != "libexec" ||
      std::filesystem::exists(beside, ignored))
    return beside;
  return (directory.parent_path().parent_path() / "bin" / mainProgramName).string();
}

} // namespace lw
