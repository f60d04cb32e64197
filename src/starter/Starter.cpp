#include "Starter.h"

#include "support/Toolbox.h"

namespace lw {

namespace {
constexpr const char *markerName = "Autostart";
}

bool runStarter(Registry &registry, const ProgramLocation &location, const ProgramStart &start,
                std::string &program) {
  const std::string self = location.executablePath();
  const auto cut = self.find_last_of(location.separator());
  program = cut == std::string::npos ? std::string() : self.substr(0, cut + 1);
  program += mainProgramName;
  if (cut == std::string::npos)
    return false;

  registry.write(RegistryRoot::LocalMachine, keys::settingsRead, markerName, "x");
  if (start(program))
    return true;
  registry.remove(RegistryRoot::LocalMachine, keys::settingsRead, markerName);
  return false;
}

} // namespace lw
