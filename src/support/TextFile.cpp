#include "TextFile.h"

#include "FileError.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace lw::textfile {

std::vector<std::string> splitLines(const std::string &bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    const bool lastLine = end == std::string::npos;
    if (lastLine)
      end = bytes.size();
    std::size_t length = end - start;
    if (!lastLine && length > 0 && bytes[end - 1] == '\r')
      --length;
    lines.emplace_back(bytes, start, length);
    start = end + 1;
  }
  return lines;
}

std::string readBytes(const std::string &path, std::size_t limit) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!error && !std::filesystem::is_regular_file(status))
    throw FileError(path, "not a regular file");
  if (!error && std::filesystem::file_size(path, error) > limit && !error)
    throw FileError(path, "larger than " + std::to_string(limit) + " bytes");
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw FileError(path, std::strerror(errno));
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad())
    throw FileError(path, "the file could not be read");
  return std::move(content).str();
}

std::vector<std::string> readLines(const std::string &path) {
  // Many editors put a UTF-8 byte-order mark in front of a file they save; it is no part of the
  // first line, whose text is matched exactly.
  std::string bytes = readBytes(path);
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
