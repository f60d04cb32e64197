#pragma once
// An aligned table cut to the width of the terminal it is shown on, as systemctl cuts its
// listing: the long cells of one column lose their ends to an ellipsis first, and only when
// that is not enough the widest of the others.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lw::cli {

// The display width of UTF-8 text, one column per character; good enough for names and
// commands, which are seldom wide characters.
std::size_t widthOf(std::string_view text);

struct TableWidth {
  std::size_t columns = 0; // 0: every cell whole
  bool utf8 = true;        // the ellipsis as "…", else "..."
};

// Cuts the cells of `rows`, laid out as cellLines aligns them, so that no line is wider than
// `width.columns`; column `first` gives way first. Only the columns before `kept` are text
// that may be cut: those from it on (times) stay whole. A column keeps at least a few characters,
// so that a terminal narrower than that still gets lines that are too long.
void fitToWidth(std::vector<std::vector<std::string>> &rows, std::size_t first, std::size_t kept,
                const TableWidth &width);

} // namespace lw::cli
