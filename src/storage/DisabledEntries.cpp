#include "DisabledEntries.h"

#include "support/Toolbox.h"

#include <algorithm>

namespace lw {

namespace {
constexpr const char *disabledMark = "1";
} // namespace

std::vector<std::string> disabledCustomizedNames(Registry &registry) {
  return registry.enumerateOrFail(RegistryRoot::CurrentUser, keys::disabledCustomized)
      .value_or(std::vector<std::string>{});
}

bool isCustomizedDisabled(Registry &registry, const std::string &name) {
  // The store compares value names without regard to case; entry names do not, so the listed
  // names decide.
  const auto names = disabledCustomizedNames(registry);
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool setCustomizedDisabled(Registry &registry, const std::string &name, bool disabled) {
  if (disabled)
    return registry.write(RegistryRoot::CurrentUser, keys::disabledCustomized, name, disabledMark);
  return registry.remove(RegistryRoot::CurrentUser, keys::disabledCustomized, name);
}

} // namespace lw
