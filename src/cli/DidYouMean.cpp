#include "DidYouMean.h"

#include <algorithm>

namespace lw::cli {

namespace {

constexpr std::size_t farthest = 2;

// The optimal string alignment distance: Levenshtein's, with a swap of two neighbours as one.
std::size_t stepsBetween(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i)
    d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j)
    d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t changed = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + changed});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

} // namespace

std::optional<std::string> nearestWord(std::string_view word,
                                       const std::vector<std::string> &candidates) {
  std::optional<std::string> nearest;
  std::size_t best = farthest + 1;
  for (const auto &candidate : candidates)
    if (const std::size_t steps = stepsBetween(word, candidate); steps < best) {
      best = steps;
      nearest = candidate;
    }
  return nearest;
}

} // namespace lw::cli
