#include "CommandLine.h"

#include <array>

#include <sys/stat.h>

namespace lw::commandline {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Characters the Desktop Entry rules reserve: an argument holding one must be quoted.
bool isReserved(char c) {
  static constexpr auto table = [] {
    std::array<bool, 256> reserved{};
    for (const char r : std::string_view(" \t\n\"'\\><~|&;$*?#()`"))
      reserved[static_cast<unsigned char>(r)] = true;
    return reserved;
  }();
  return table[static_cast<unsigned char>(c)];
}

bool escapableInDoubleQuotes(char c) {
  return c == '$' || c == '`' || c == '"' || c == '\\' || c == '\n';
}

} // namespace

std::vector<Word> splitWords(std::string_view line) {
  std::vector<Word> words;
  words.reserve(4);
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i]))
      ++i;
    if (i == line.size())
      break;
    if (line[i] == '#') { // a comment runs to the end of its line
      while (i < line.size() && line[i] != '\n')
        ++i;
      continue;
    }
    Word word;
    word.begin = i;
    while (i < line.size() && !isBlank(line[i])) {
      const char c = line[i];
      if (c == '\\') {
        word.plain = false;
        if (i + 1 < line.size()) {
          if (line[i + 1] != '\n')
            word.text += line[i + 1];
          i += 2;
        } else {
          word.text += c; // a lone backslash at the very end stays itself
          ++i;
        }
      } else if (c == '\'') {
        word.plain = false;
        for (++i; i < line.size() && line[i] != '\''; ++i)
          word.text += line[i];
        ++i; // closing quote; an unterminated one runs to the end
      } else if (c == '"') {
        word.plain = false;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
          if (line[i] == '\\' && i + 1 < line.size() && escapableInDoubleQuotes(line[i + 1])) {
            ++i;
            if (line[i] == '\n')
              continue;
          }
          word.text += line[i];
        }
        ++i;
      } else {
        word.text += c;
        ++i;
      }
    }
    word.end = i < line.size() ? i : line.size();
    words.push_back(std::move(word));
  }
  return words;
}

std::vector<std::string> split(std::string_view line) {
  std::vector<std::string> result;
  for (auto &word : splitWords(line))
    result.push_back(std::move(word.text));
  return result;
}

bool isCanonical(std::string_view line) {
  if (line.empty() || line.front() == ' ' || line.back() == ' ')
    return false;
  for (std::size_t i = 0; i < line.size(); ++i)
    if (line[i] == ' ' ? line[i - 1] == ' ' : isReserved(line[i]))
      return false;
  return true;
}

bool isExistingFile(const std::string &path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::vector<std::string> arguments(std::string_view command, const FileProbe &probe) {
  const auto words = splitWords(command);
  std::vector<std::string> result;
  std::size_t programWords = 1;
  if (words.size() > 1 && words[0].plain && !probe(words[0].text)) {
    for (std::size_t k = 2; k <= words.size() && words[k - 1].plain; ++k) {
      const std::string candidate(
          command.substr(words[0].begin, words[k - 1].end - words[0].begin));
      if (probe(candidate)) {
        programWords = k;
        result.push_back(candidate);
        break;
      }
    }
  }
  if (result.empty())
    programWords = 0;
  for (std::size_t i = programWords; i < words.size(); ++i)
    result.push_back(words[i].text);
  return result;
}

bool canMean(std::string_view command, const std::vector<std::string> &arguments) {
  const auto words = splitWords(command);
  auto restMatches = [&](std::size_t fromWord, std::size_t fromArgument) {
    if (words.size() - fromWord != arguments.size() - fromArgument)
      return false;
    for (std::size_t i = 0; fromWord + i < words.size(); ++i)
      if (words[fromWord + i].text != arguments[fromArgument + i])
        return false;
    return true;
  };
  if (restMatches(0, 0))
    return true;
  if (arguments.empty())
    return false;
  for (std::size_t k = 2; k <= words.size() && words[0].plain && words[k - 1].plain; ++k) {
    if (command.substr(words[0].begin, words[k - 1].end - words[0].begin) == arguments[0] &&
        restMatches(k, 1))
      return true;
  }
  return false;
}

std::string quote(std::string_view argument) {
  bool needsQuotes = argument.empty();
  for (char c : argument)
    needsQuotes = needsQuotes || isReserved(c);
  if (!needsQuotes)
    return std::string(argument);
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string join(const std::vector<std::string> &arguments) {
  std::string line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0)
      line += ' ';
    line += quote(arguments[i]);
  }
  return line;
}

} // namespace lw::commandline
