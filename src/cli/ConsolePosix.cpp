#include "Console.h"

#include <unistd.h>

namespace lw::console {

std::vector<std::string> utf8Arguments(int argc, char *argv[]) { return {argv, argv + argc}; }

bool writeAll(std::FILE *stream, const std::string &text) {
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size())
    return false;
  return std::fflush(stream) == 0;
}

bool isTerminal(std::FILE *stream) { return ::isatty(::fileno(stream)) != 0; }

} // namespace lw::console
