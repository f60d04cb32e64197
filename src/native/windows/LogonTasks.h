#pragma once
// The Task Scheduler's tasks with a logon trigger, as the Task Scheduler itself reports them
// (ITaskService). Listed read-only: a task is changed in the Task Scheduler. A Task Scheduler
// that does not answer in time makes the source unavailable instead of holding up the list.

#include "platform/LogonSources.h"

#include <chrono>

namespace lw {

class LogonTasks : public LogonSource {
public:
  explicit LogonTasks(std::chrono::milliseconds limit = std::chrono::seconds(5))
      : timeLimit(limit) {}

  static constexpr LogonReason logonTrigger{{827}, {842}};
  static constexpr const LogonReason *reasons[] = {&logonTrigger};
  static constexpr LogonKind description{"logon-task", {808}, {814}, reasons};

  LogonSourceKind kind() const override { return &description; }
  LogonSourceListing list() override;

private:
  std::chrono::milliseconds timeLimit;
};

} // namespace lw
