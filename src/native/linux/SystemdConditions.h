#pragma once
// Whether a unit's conditions and assertions let it start: as the manager found them when it last
// tried to start the unit, and as they stand now where the condition is one that can be checked
// exactly as systemd checks it (paths, files, folders, the manager's environment).

#include "SystemdManager.h"

#include <string>
#include <vector>

namespace lw {

struct ConditionJudgement {
  enum class Holds { Yes, No, Unknown };
  Holds holds = Holds::Yes;
  std::string named; // the condition that fails or cannot be judged, as a unit file writes it
};

ConditionJudgement judgeConditions(const std::vector<SystemdManager::Condition> &conditions,
                                   const std::vector<std::string> &managerEnvironment);

} // namespace lw
