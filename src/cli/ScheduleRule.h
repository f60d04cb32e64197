#pragma once
// The start rules a customized entry can be given on the command line, one word each, so that
// a script reads like what it does: daily, every-2-days, weekly, monthly, yearly,
// every:90m, every:3h, every:2d, every:1w, weekday:tuesday, monthday:15.

#include "scheduler/Schedule.h"

#include <optional>
#include <string_view>

namespace lw::cli {

// The entry dialog's values for the rule; nothing when the rule does not parse or a number is
// 0 or too wide for its field.
std::optional<ScheduleValues> parseScheduleRule(std::string_view rule);

} // namespace lw::cli
