// The reasons check prints, in the command line's words: where the window's reason sends the
// reader to one of its menu items, the command that does the same is named instead.

#include "Commands.h"

#include "entries/StartupStatus.h"

#include <array>
#include <utility>

namespace lw::cli {

namespace {

// The window's reason, the command line's with %s for the command, and whether it enables.
struct Reworded {
  std::int32_t window;
  std::int32_t terminal;
  bool enables;
};
constexpr std::array reworded{
    Reworded{621, 880, true},  Reworded{628, 881, true},  Reworded{830, 882, false},
    Reworded{831, 883, false}, Reworded{832, 884, false}, Reworded{833, 885, true},
    Reworded{834, 886, true},  Reworded{850, 887, false},
};

// The name as the system's shell takes it back as one word.
std::string shellWord(const std::string &name) {
  const bool plain =
      !name.empty() && name.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                              "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789._+-/:@,=") == std::string::npos;
  if (plain)
    return name;
#ifdef _WIN32
  return "\"" + name + "\"";
#else
  std::string word = "'";
  for (const char c : name)
    word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
#endif
}

} // namespace

std::string terminalReason(const StartupEntry &row, Context &context, bool bare) {
  std::string reason = entryStatus(row, context.texts).reason;
  for (const auto &words : reworded) {
    const std::string window = context.texts.getText(words.window);
    if (window.empty() || reason.compare(0, window.size(), window) != 0)
      continue;
    const std::string command = std::string("\"launchwright ") +
                                (words.enables ? "enable " : "disable ") +
                                (bare ? "" : "--kind " + kindWordOf(row) + " --name ") +
                                shellWord(escapedCell(row.name)) + "\"";
    std::string terminal = context.texts.getText(words.terminal);
    if (const auto at = terminal.find("%s"); at != std::string::npos)
      terminal.replace(at, 2, command);
    return terminal + reason.substr(window.size());
  }
  return reason;
}

} // namespace lw::cli
