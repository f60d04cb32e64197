// The texts of desktop files: the languages a desktop looks for a Name in, and the escapes of
// string values.
#include "DesktopEntry.h"

#include <algorithm>
#include <cstdlib>

namespace lw {

namespace {

// A locale and its less specific forms, most specific first, as GLib's g_get_locale_variants:
// every combination of its territory ("_DE"), codeset (".UTF-8") and modifier ("@euro").
void appendLocaleVariants(std::vector<std::string> &names, std::string_view locale) {
  constexpr unsigned codeset = 1, territory = 2, modifier = 4;
  const auto underscore = locale.find('_');
  const auto dot = locale.find('.', underscore == std::string_view::npos ? 0 : underscore);
  auto at = locale.find('@', dot != std::string_view::npos          ? dot
                             : underscore != std::string_view::npos ? underscore
                                                                    : 0);
  unsigned mask = 0;
  std::string_view parts[3]; // codeset, territory, modifier
  if (at != std::string_view::npos) {
    mask |= modifier;
    parts[2] = locale.substr(at);
  } else {
    at = locale.size();
  }
  auto end = at;
  if (dot != std::string_view::npos) {
    mask |= codeset;
    parts[0] = locale.substr(dot, end - dot);
    end = dot;
  }
  if (underscore != std::string_view::npos) {
    mask |= territory;
    parts[1] = locale.substr(underscore, end - underscore);
    end = underscore;
  }
  const auto language = locale.substr(0, end);
  for (unsigned j = 0; j <= mask; ++j) {
    const unsigned i = mask - j;
    if ((i & ~mask) != 0)
      continue;
    std::string name(language);
    if (i & territory)
      name += parts[1];
    if (i & codeset)
      name += parts[0];
    if (i & modifier)
      name += parts[2];
    names.push_back(std::move(name));
  }
}

} // namespace

std::vector<std::string>
desktop::languageNames(const std::function<const char *(const char *)> &environment) {
  std::string_view chosen = "C";
  for (const char *variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
    if (const char *value = environment(variable); value && *value) {
      chosen = value;
      break;
    }
  std::vector<std::string> names;
  while (!chosen.empty()) {
    const auto colon = chosen.find(':');
    if (colon != 0)
      appendLocaleVariants(names, chosen.substr(0, colon));
    chosen = colon == std::string_view::npos ? std::string_view() : chosen.substr(colon + 1);
  }
  names.emplace_back("C");
  return names;
}

std::string desktop::escape(std::string_view text) {
  std::string raw;
  for (std::size_t i = 0; i < text.size(); ++i) {
    switch (const char c = text[i]) {
    case '\\':
      raw += "\\\\";
      break;
    case '\n':
      raw += "\\n";
      break;
    case '\t':
      raw += "\\t";
      break;
    case '\r':
      raw += "\\r";
      break;
    case ' ':
      // Readers drop blanks around the equals sign and may drop them at the line's end.
      raw += (i == 0 || i + 1 == text.size()) ? "\\s" : " ";
      break;
    default:
      raw += c;
    }
  }
  return raw;
}

std::string desktop::unescape(std::string_view raw) {
  if (raw.find('\\') == std::string_view::npos)
    return std::string(raw);
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      text += raw[i];
      continue;
    }
    if (i + 1 == raw.size())
      break; // as GLib, which reads "Exec=true\" as "true"
    switch (raw[i + 1]) {
    case 's':
      text += ' ';
      break;
    case 'n':
      text += '\n';
      break;
    case 't':
      text += '\t';
      break;
    case 'r':
      text += '\r';
      break;
    case '\\':
      text += '\\';
      break;
    default: // not an escape: both characters stay
      text += raw[i];
      text += raw[i + 1];
    }
    ++i;
  }
  return text;
}

} // namespace lw
