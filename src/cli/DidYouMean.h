#pragma once
// The word a mistyped command or option was most likely meant to be.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw::cli {

// The candidate nearest to `word`, counting a changed, added, dropped or swapped pair of
// neighbouring characters as one step, when it is at most two steps away; the first of equally
// near ones. Nothing when none is that near.
std::optional<std::string> nearestWord(std::string_view word,
                                       const std::vector<std::string> &candidates);

} // namespace lw::cli
