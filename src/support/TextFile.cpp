#include "TextFile.h"

#include "FileError.h"
#include "TextFileDetail.h"

#include <algorithm>
#include <filesystem>

namespace lw::textfile {

std::vector<std::string> splitLines(std::string_view bytes) {
  // Sized once: a large file would otherwise hold a vector and its doubled successor at once.
  std::vector<std::string> lines;
  std::size_t breaks = 0;
  for (const char c : bytes)
    breaks += c == '\n';
  lines.reserve(breaks + 1);
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const bool lastLine = end == std::string::npos;
    if (lastLine)
      end = bytes.size();
    std::size_t length = end - start;
    if (!lastLine && length > 0 && bytes[end - 1] == '\r')
      --length;
    lines.emplace_back(bytes.substr(start, length));
    start = end + 1;
  }
  return lines;
}

namespace detail {

std::size_t readCapacity(std::size_t have, std::size_t limit) {
  // One byte beyond the limit is room enough to see that a file grew past it.
  const std::size_t ceiling = limit == noReadLimit ? limit : limit + 1;
  const std::size_t step = std::max<std::size_t>(have, 64 * 1024);
  return ceiling - have <= step ? ceiling : have + step;
}

FileError tooLarge(const std::string &path, std::size_t limit) {
  return FileError(path, "larger than " + std::to_string(limit) + " bytes");
}

} // namespace detail

void requireRegularOrAbsent(const std::string &path) {
  // Paths are UTF-8: taken as such, Windows looks at them by their wide name instead of through
  // the ANSI code page (on POSIX systems the bytes are used as they are).
  std::error_code error;
  const auto status = std::filesystem::status(
      std::filesystem::path(std::u8string(path.begin(), path.end())), error);
  if (!error && !std::filesystem::is_regular_file(status))
    throw FileError(path, notRegularReason);
}

std::string excerpt(std::string_view text, std::size_t length) {
  if (text.size() <= length)
    return std::string(text);
  // Never cut inside a UTF-8 sequence: step back over continuation bytes.
  std::size_t cut = length;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
    --cut;
  return std::string(text.substr(0, cut)) + "\xE2\x80\xA6";
}

std::vector<std::string> readLines(const std::string &path, std::size_t limit) {
  // Many editors put a UTF-8 byte-order mark in front of a file they save; it is no part of the
  // first line, whose text is matched exactly.
  std::string bytes = readBytes(path, limit);
  if (bytes.starts_with("\xEF\xBB\xBF"))
    bytes.erase(0, 3);
  return splitLines(bytes);
}

std::string joinLines(const std::vector<std::string> &lines) {
  std::string out;
  for (const auto &line : lines) {
    out += line;
    out += lineEnd;
  }
  return out;
}

} // namespace lw::textfile
