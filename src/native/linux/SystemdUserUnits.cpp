#include "SystemdUserUnits.h"

#include "SystemdManager.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <unistd.h>
#include <vector>

namespace lw {

bool SystemdUserUnits::setEnabled(const LogonItem &item, bool enabled) {
  if (item.source != &SystemdUserUnits::description ||
      (item.switchBy != LogonSwitch::Enable && item.switchBy != LogonSwitch::Mask))
    return false;
  std::string why;
  const auto manager = SystemdManager::connect(why);
  if (!manager)
    return false;
  // A link made for this boot only (enable --runtime, mask --runtime) is taken back the same way.
  const bool runtime = manager->unitFileState(item.name).value_or("").ends_with("-runtime");
  const bool asked =
      item.switchBy == LogonSwitch::Enable
          ? (enabled ? manager->enable(item.name, false) : manager->disable(item.name, runtime))
          : (enabled ? manager->unmask(item.name, runtime) : manager->mask(item.name, false));
  if (!asked)
    return false;
  manager->reload();
  // Done only when the manager says so: a state it cannot tell is no state at all.
  const auto state = manager->unitFileState(item.name);
  if (!state)
    return false;
  if (item.switchBy == LogonSwitch::Mask)
    return state->starts_with("masked") != enabled;
  return state->starts_with("enabled") == enabled;
}

bool SystemdUserUnits::start(const LogonItem &item) {
  if (item.source != &SystemdUserUnits::description || !item.canStart)
    return false;
  std::string why;
  const auto manager = SystemdManager::connect(why);
  return manager && manager->start(item.name);
}

} // namespace lw
