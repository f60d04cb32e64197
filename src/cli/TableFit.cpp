#include "TableFit.h"

#include <algorithm>

namespace lw::cli {

namespace {

// Columns narrower than this are not cut: a few characters of a name still tell it apart.
constexpr std::size_t narrowest = 8;
constexpr std::size_t gap = 2; // between columns, as cellLines pads them

// The first `keep` characters of UTF-8 text.
std::string_view headOf(std::string_view text, std::size_t keep) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && characters++ == keep)
      return text.substr(0, i);
  return text;
}

} // namespace

std::size_t widthOf(std::string_view text) {
  std::size_t width = 0;
  for (const char c : text)
    width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return width;
}

void fitToWidth(std::vector<std::vector<std::string>> &rows, std::size_t first, std::size_t kept,
                const TableWidth &width) {
  if (width.columns == 0)
    return;
  std::vector<std::size_t> natural;
  for (const auto &row : rows)
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (natural.size() <= i)
        natural.push_back(0);
      natural[i] = std::max(natural[i], widthOf(row[i]));
    }
  std::vector<std::size_t> limit = natural;
  // A row's last cell is not padded: a short row ends where its own last cell does.
  const auto widest = [&rows, &limit] {
    std::size_t most = 0;
    for (const auto &row : rows) {
      if (row.empty())
        continue;
      std::size_t line = std::min(widthOf(row.back()), limit[row.size() - 1]);
      for (std::size_t i = 0; i + 1 < row.size(); ++i)
        line += limit[i] + gap;
      most = std::max(most, line);
    }
    return most;
  };
  const auto floorOf = [&natural, kept](std::size_t i) {
    return i >= kept ? natural[i] : std::min(natural[i], narrowest);
  };
  while (widest() > width.columns) {
    std::size_t cut = first;
    if (first >= limit.size() || limit[first] <= floorOf(first)) {
      cut = limit.size();
      for (std::size_t i = 0; i < limit.size(); ++i)
        if (limit[i] > floorOf(i) && (cut == limit.size() || limit[i] > limit[cut]))
          cut = i;
      if (cut == limit.size())
        break;
    }
    --limit[cut];
  }
  const std::string_view ellipsis = width.utf8 ? "\xE2\x80\xA6" : "...";
  const std::size_t ellipsisWidth = widthOf(ellipsis);
  for (auto &row : rows)
    for (std::size_t i = 0; i < row.size(); ++i)
      if (widthOf(row[i]) > limit[i]) {
        const std::size_t keep = limit[i] > ellipsisWidth ? limit[i] - ellipsisWidth : 0;
        row[i] = std::string(headOf(row[i], keep)) + std::string(ellipsis);
      }
}

} // namespace lw::cli
