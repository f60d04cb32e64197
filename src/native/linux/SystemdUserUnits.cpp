#include "SystemdUserUnits.h"

#include "SystemdManager.h"
#include "SystemdSwitch.h"

#include <filesystem>

#include <string>

namespace lw {

bool SystemdUserUnits::setEnabled(const LogonItem &item, bool enabled) {
  if (item.source != &SystemdUserUnits::description ||
      (item.switchBy != LogonSwitch::Enable && item.switchBy != LogonSwitch::Mask))
    return false;
  std::string why;
  const auto manager = SystemdManager::connect(why);
  if (!manager)
    return false;
  const auto plan = systemdswitch::planFor(item, enabled);
  if (plan.refusal)
    return false;
  if (!plan.change.empty() || plan.byRecord) {
    // The record comes first: links taken back are never without one.
    const auto before = systemdswitch::recorded(item.name);
    if (!enabled && !systemdswitch::keep(item.name, plan.change))
      return false;
    const bool done = systemdswitch::apply(plan.change);
    if (done && manager->reload()) {
      if (enabled)
        systemdswitch::forget(item.name);
      return true;
    }
    if (done)
      systemdswitch::apply(systemdswitch::planUndo(plan.change).change);
    if (!enabled) {
      systemdswitch::forget(item.name);
      if (before)
        systemdswitch::keep(item.name, *before);
    }
    return false;
  }
  if (!enabled)
    return true; // off already
  // Never switched off here: on as systemctl --user enable or unmask would. A mask made for this
  // boot only (mask --runtime) is taken back the same way.
  const bool runtime = manager->unitFileState(item.name).value_or("").ends_with("-runtime");
  if (!(item.switchBy == LogonSwitch::Enable ? manager->enable(item.name, false)
                                             : manager->unmask(item.name, runtime)))
    return false;
  manager->reload();
  // Done only when the manager says so: a state it cannot tell is no state at all.
  const auto state = manager->unitFileState(item.name);
  if (!state)
    return false;
  return item.switchBy == LogonSwitch::Mask ? !state->starts_with("masked")
                                            : state->starts_with("enabled");
}

bool SystemdUserUnits::start(const LogonItem &item) {
  if (item.source != &SystemdUserUnits::description || !item.canStart)
    return false;
  std::string why;
  const auto manager = SystemdManager::connect(why);
  return manager && manager->start(item.name);
}

LogonWatch SystemdUserUnits::watchPlaces() {
  std::string why;
  const auto manager = SystemdManager::connect(why, SystemdManager::Clock::now() + listingTime);
  const auto folders = manager ? manager->unitPath(why) : std::nullopt;
  if (!folders)
    return {}; // no manager to start anything: looked at now and then, in case one comes
  LogonWatch watch{*folders, {}, false};
  for (const auto &folder : *folders) {
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
      const std::string name = entry.path().filename().string();
      for (const std::string_view suffix : {".wants", ".requires", ".upholds", ".d"})
        if (name.size() > suffix.size() && name.ends_with(suffix) && entry.is_directory(error)) {
          watch.folders.push_back(entry.path().string());
          break;
        }
    }
  }
  return watch;
}

} // namespace lw
