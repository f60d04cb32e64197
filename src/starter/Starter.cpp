#include "Starter.h"

#include "support/Toolbox.h"

namespace lw {

bool runStarter(Registry &registry, Shell &shell, const ProgramLocation &location) {
  registry.write(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart", "x");

  const std::string self = location.executablePath();
  const auto cut = self.find_last_of(location.separator());
  if (cut == std::string::npos)
    return false;
  std::string program = self.substr(0, cut + 1);
  program += mainProgramName;
  return shell.open(program);
}

} // namespace lw
