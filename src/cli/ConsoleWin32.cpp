// A console takes text as UTF-16 through WriteConsoleW whatever its code page; anything else
// (a pipe, a file) gets the UTF-8 bytes unchanged, line ends included, as on every system.
#include "Console.h"

#include "support/WideText.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <windows.h>

namespace lw::console {

namespace {

HANDLE consoleOf(std::FILE *stream) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

} // namespace

std::vector<std::string> utf8Arguments(int argc, char *argv[]) {
  int count = 0;
  LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    // Not this process's own command line as main() saw it: keep what main() has.
    if (wide != nullptr)
      LocalFree(wide);
    return {argv, argv + argc};
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i)
    arguments.push_back(wide::toUtf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

bool writeAll(std::FILE *stream, const std::string &text) {
  if (std::fflush(stream) != 0)
    return false;
  if (const HANDLE console = consoleOf(stream)) {
    const std::wstring characters = wide::fromUtf8(text);
    std::size_t done = 0;
    while (done < characters.size()) {
      // Old consoles refuse large writes; a few kilobytes at a time always pass.
      auto step = static_cast<DWORD>(std::min<std::size_t>(characters.size() - done, 8192));
      // A character outside the BMP is a pair of units; a write must not end between them.
      if (done + step < characters.size() && IS_HIGH_SURROGATE(characters[done + step - 1]))
        --step;
      DWORD written = 0;
      if (!WriteConsoleW(console, characters.data() + done, step, &written, nullptr) ||
          written == 0) {
        errno = EIO;
        return false;
      }
      done += written;
    }
    return true;
  }
  // The C library's text mode would turn every line feed into CR LF, and a CR LF already in an
  // entry's stored lines into CR CR LF.
  _setmode(_fileno(stream), _O_BINARY);
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size())
    return false;
  return std::fflush(stream) == 0;
}

bool isTerminal(std::FILE *stream) { return consoleOf(stream) != nullptr; }

int terminalColumns(std::FILE *stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (const HANDLE console = consoleOf(stream);
      console != nullptr && GetConsoleScreenBufferInfo(console, &info))
    return info.srWindow.Right - info.srWindow.Left + 1;
  return columnsOfEnvironment();
}

// WriteConsoleW takes the characters themselves, whatever the code page.
bool showsUtf8() { return true; }

} // namespace lw::console
