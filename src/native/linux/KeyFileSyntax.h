#pragma once
// The lines of a key file as GLib's parser reads them: blanks, group headers, key lines, keys
// and their locales. Inline, because a listing runs them over every line of thousands of files.

#include "support/Utf8.h"

#include <array>
#include <optional>
#include <string_view>

namespace lw::keyfile {

// The blanks of GLib's g_ascii_isspace, which leaves out the vertical tab that C's isspace has.
inline bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

inline bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// A line without its leading blanks, as the key-file parser looks at it.
inline std::string_view content(std::string_view line) {
  while (!line.empty() && isSpace(line.front()))
    line.remove_prefix(1);
  return line;
}

// The name of a group header line: "[name]", blanks and tabs allowed after the bracket. GLib
// walks that tail a character at a time, stepping over any continuation bytes (0x80 to 0xBF)
// after the bracket and after each blank, so such bytes pass there as blanks do.
inline std::optional<std::string_view> groupName(std::string_view line) {
  line = content(line);
  if (line.empty() || line.front() != '[')
    return std::nullopt;
  const auto close = line.find(']');
  if (close == std::string_view::npos)
    return std::nullopt;
  for (std::size_t i = close + 1; i < line.size(); ++i)
    if (line[i] != ' ' && line[i] != '\t' && (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80)
      return std::nullopt;
  return line.substr(1, close - 1);
}

inline bool isValidGroupName(std::string_view name) {
  if (name.empty())
    return false;
  for (char c : name)
    if (c == '[' || isControl(c))
      return false;
  return true;
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

inline std::optional<KeyLine> splitKeyLine(std::string_view line) {
  line = content(line);
  if (line.empty() || line.front() == '#' || line.front() == '[')
    return std::nullopt;
  const auto equals = line.find('=');
  if (equals == std::string_view::npos || equals == 0)
    return std::nullopt;
  std::string_view key = line.substr(0, equals);
  while (!key.empty() && isSpace(key.back()))
    key.remove_suffix(1);
  std::string_view value = line.substr(equals + 1);
  while (!value.empty() && isSpace(value.front()))
    value.remove_prefix(1);
  return KeyLine{key, value};
}

// The ASCII characters of a key's locale: letters, digits and "-_.@".
constexpr auto localeCharacters = [] {
  std::array<bool, 256> table{};
  for (const char c : std::string_view("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                       "0123456789-_.@"))
    table[static_cast<unsigned char>(c)] = true;
  return table;
}();

// A key as GLib accepts it: no blank at either end, an optional "[locale]" at the very end.
inline bool isValidKey(std::string_view key) {
  std::size_t i = 0;
  while (i < key.size() && key[i] != '[' && key[i] != ']')
    ++i;
  if (i == 0 || key.front() == ' ' || key[i - 1] == ' ')
    return false;
  if (i < key.size() && key[i] == '[') {
    const std::size_t first = ++i;
    for (; i < key.size(); ++i) {
      const auto byte = static_cast<unsigned char>(key[i]);
      if (localeCharacters[byte])
        continue;
      // GLib also takes a letter or digit of any script, judged by its first sequence alone,
      // and steps over every continuation byte after a character it took. Each well-formed
      // character stands in for a letter here: telling letters needs Unicode's tables.
      if (byte < 0x80 ||
          ((byte & 0xC0) == 0x80 ? i == first : validUtf8Prefix(key.substr(i, 4)) == 0))
        break;
    }
    if (i == key.size() || key[i] != ']')
      return false;
    ++i;
  }
  return i == key.size();
}

inline bool isUtf8EncodingName(std::string_view name) {
  constexpr std::string_view utf8 = "utf-8";
  if (name.size() != utf8.size())
    return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if ((name[i] >= 'A' && name[i] <= 'Z' ? name[i] - 'A' + 'a' : name[i]) != utf8[i])
      return false;
  return true;
}

} // namespace lw::keyfile
