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

struct Words {
  std::vector<Word> words;
  bool refused = false; // a quote left open or a backslash at the very end
};

// GLib's g_shell_parse_argv, its tokenizer and g_shell_unquote in one pass.
Words tokenize(std::string_view line) {
  Words found;
  auto &words = found.words;
  words.reserve(4);
  Word word;
  bool inWord = false;
  const auto begin = [&](std::size_t at) {
    if (!inWord)
      word.begin = at;
    inWord = true;
  };
  const auto finish = [&](std::size_t at) {
    if (!inWord)
      return;
    word.end = at;
    words.push_back(std::move(word));
    word = Word();
    inWord = false;
  };
  char quote = 0;
  for (std::size_t i = 0; i < line.size();) {
    const char c = line[i];
    if (quote == '\'') {
      if (c == '\'')
        quote = 0;
      else
        word.text += c;
      ++i;
    } else if (quote == '"') {
      if (c == '"') {
        quote = 0;
        ++i;
      } else if (c == '\\' && i + 1 < line.size() && escapableInDoubleQuotes(line[i + 1])) {
        word.text += line[i + 1]; // a line break too stays, as GLib has it
        i += 2;
      } else {
        word.text += c;
        ++i;
      }
    } else if (c == '\\') {
      if (i + 1 == line.size()) {
        found.refused = true;
        begin(i);
        word.plain = false;
        word.text += c; // splitting keeps it; GLib refuses the line
        ++i;
      } else if (line[i + 1] == '\n') {
        i += 2; // a line continues: the word goes on, and none begins here
      } else {
        begin(i);
        word.plain = false;
        word.text += line[i + 1];
        i += 2;
      }
    } else if (c == '\'' || c == '"') {
      begin(i);
      word.plain = false;
      quote = c;
      ++i;
    } else if (isBlank(c)) {
      finish(i);
      ++i;
    } else if (c == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\n')) {
      // A comment, when the byte before is a space or a line feed even if escaped, runs up to
      // and through its line feed; a word before it goes on after it. GLib leaves a comment
      // mark that is the line's last byte open, and refuses the line as an unclosed quote.
      found.refused = found.refused || i + 1 == line.size();
      const auto end = line.find('\n', i);
      i = end == std::string_view::npos ? line.size() : end + 1;
    } else {
      begin(i);
      word.text += c;
      ++i;
    }
  }
  finish(line.size());
  found.refused = found.refused || quote != 0;
  return found;
}

} // namespace

std::vector<Word> splitWords(std::string_view line) { return tokenize(line).words; }

std::vector<std::string> split(std::string_view line) {
  std::vector<std::string> result;
  for (auto &word : splitWords(line))
    result.push_back(std::move(word.text));
  return result;
}

std::optional<std::vector<std::string>> parse(std::string_view line) {
  auto found = tokenize(line);
  if (found.refused || found.words.empty())
    return std::nullopt;
  std::vector<std::string> result;
  for (auto &word : found.words)
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
