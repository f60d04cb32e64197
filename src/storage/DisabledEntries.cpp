#include "DisabledEntries.h"

#include "support/ProgramValues.h"

#include <algorithm>

namespace lw {

std::vector<std::string> disabledCustomizedNames(Registry &registry) {
  return ProgramValues(registry).switchedOffCustomized().value_or(std::vector<std::string>{});
}

bool isCustomizedDisabled(Registry &registry, const std::string &name) {
  // The store compares value names without regard to case; entry names do not, so the listed
  // names decide.
  const auto names = disabledCustomizedNames(registry);
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool setCustomizedDisabled(Registry &registry, const std::string &name, bool disabled) {
  return ProgramValues(registry).setCustomizedSwitchedOff(name, disabled);
}

} // namespace lw
