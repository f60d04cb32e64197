#pragma once
// Which targets a disabled unit would be enabled into. The manager answers that only by doing
// it, so systemctl enables copies of the unit files in a scratch root of its own
// (systemctl --global --root=...), where systemd's own reading of [Install] (WantedBy,
// RequiredBy, DefaultInstance, ...) lays down the links; the links tell the targets. Nothing of
// the user's is touched.

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace lw {

// For each unit (name -> its unit file), the targets among `targets` that enabling it would
// pull it into; units that would land in none are left out. Nothing when `budget` passed before
// systemctl had answered for every unit: a unit it had no time for is not one that lands in
// none.
std::optional<std::map<std::string, std::set<std::string>>>
installTargets(const std::map<std::string, std::string> &units,
               const std::set<std::string> &targets, std::chrono::milliseconds budget);

} // namespace lw
