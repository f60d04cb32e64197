#include "Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace lw::console {

std::vector<std::string> utf8Arguments(int argc, char *argv[]) { return {argv, argv + argc}; }

bool writeAll(std::FILE *stream, const std::string &text) {
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size())
    return false;
  return std::fflush(stream) == 0;
}

bool isTerminal(std::FILE *stream) { return ::isatty(::fileno(stream)) != 0; }

int terminalColumns(std::FILE *stream) {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    return size.ws_col;
  return columnsOfEnvironment();
}

bool showsUtf8() {
  // The locale's character set as setlocale would pick it: the first of these that is set.
  for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char *value = std::getenv(name);
    if (value == nullptr || *value == '\0')
      continue;
    std::string lowered;
    for (const char *c = value; *c != '\0'; ++c)
      if (*c != '-')
        lowered += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return lowered.find("utf8") != std::string::npos;
  }
  return false;
}

} // namespace lw::console
