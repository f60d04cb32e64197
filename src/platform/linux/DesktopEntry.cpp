#include "DesktopEntry.h"

namespace lw {
namespace {

constexpr std::string_view mainGroupHeader = "[Desktop Entry]";

std::string_view withoutCarriageReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r')
    line.remove_suffix(1);
  return line;
}

bool isGroupHeader(std::string_view line) {
  line = withoutCarriageReturn(line);
  return !line.empty() && line.front() == '[';
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyLine> splitKeyLine(std::string_view line) {
  line = withoutCarriageReturn(line);
  const auto start = line.find_first_not_of(" \t");
  if (start == std::string_view::npos || line[start] == '#' || line[start] == '[')
    return std::nullopt;
  const auto equals = line.find('=', start);
  if (equals == std::string_view::npos)
    return std::nullopt;
  std::string_view key = line.substr(start, equals - start);
  while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
    key.remove_suffix(1);
  std::string_view value = line.substr(equals + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
    value.remove_prefix(1);
  return KeyLine{key, value};
}

// Expands the field codes of an Exec line as a session does when it starts the entry at
// logon, without files or addresses to pass.
std::string expandFieldCodes(std::string_view exec, const DesktopEntry &entry,
                             const std::string &filePath) {
  std::string expanded;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] != '%' || i + 1 == exec.size()) {
      expanded += exec[i];
      continue;
    }
    switch (exec[++i]) {
    case '%':
      expanded += '%';
      break;
    case 'c':
      expanded += commandline::quote(desktop::unescape(entry.value("Name").value_or("")));
      break;
    case 'k':
      expanded += commandline::quote(filePath);
      break;
    case 'i':
      if (const auto icon = desktop::unescape(entry.value("Icon").value_or("")); !icon.empty())
        expanded += "--icon " + commandline::quote(icon);
      break;
    default: // file and address codes have nothing to give; deprecated ones are dropped
      break;
    }
  }
  return expanded;
}

} // namespace

DesktopEntry DesktopEntry::parse(std::string_view bytes) {
  DesktopEntry entry;
  std::size_t start = 0;
  while (start < bytes.size()) {
    auto end = bytes.find('\n', start);
    if (end == std::string_view::npos)
      end = bytes.size();
    entry.lines.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return entry;
}

std::string DesktopEntry::bytes() const {
  std::string result;
  for (const auto &line : lines) {
    result += line;
    result += '\n';
  }
  return result;
}

std::optional<DesktopEntry::Range> DesktopEntry::mainGroup() const {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (withoutCarriageReturn(lines[i]) != mainGroupHeader)
      continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !isGroupHeader(lines[end]))
      ++end;
    return Range{i, end};
  }
  return std::nullopt;
}

bool DesktopEntry::hasMainGroup() const { return mainGroup().has_value(); }

std::optional<std::string> DesktopEntry::value(std::string_view key) const {
  const auto group = mainGroup();
  if (!group)
    return std::nullopt;
  std::optional<std::string> found;
  for (std::size_t i = group->header + 1; i < group->end; ++i)
    if (const auto line = splitKeyLine(lines[i]); line && line->key == key)
      found = std::string(line->value);
  return found;
}

void DesktopEntry::setValue(std::string_view key, std::string_view rawValue) {
  auto group = mainGroup();
  if (!group) {
    lines.emplace_back(mainGroupHeader);
    group = Range{lines.size() - 1, lines.size()};
  }
  std::string newLine = std::string(key) + "=" + std::string(rawValue);
  std::optional<std::size_t> replaced;
  std::size_t lastKey = group->header;
  for (std::size_t i = group->header + 1; i < group->end;) {
    const auto line = splitKeyLine(lines[i]);
    if (line && line->key == key) {
      if (replaced) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        --group->end;
        continue;
      }
      lines[i] = newLine;
      replaced = i;
    }
    if (line)
      lastKey = i;
    ++i;
  }
  if (!replaced)
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastKey + 1), std::move(newLine));
}

void DesktopEntry::removeKey(std::string_view key) {
  const auto group = mainGroup();
  if (!group)
    return;
  std::size_t end = group->end;
  for (std::size_t i = group->header + 1; i < end;) {
    const auto line = splitKeyLine(lines[i]);
    if (line && line->key == key) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
      --end;
    } else {
      ++i;
    }
  }
}

std::optional<bool> DesktopEntry::boolean(std::string_view key) const {
  const auto text = value(key);
  if (!text)
    return std::nullopt;
  if (*text == "true" || *text == "1")
    return true;
  if (*text == "false" || *text == "0")
    return false;
  return std::nullopt;
}

bool DesktopEntry::startsAtLogon() const {
  return hasMainGroup() && boolean("Hidden") != true &&
         boolean("X-GNOME-Autostart-enabled") != false;
}

std::string DesktopEntry::command(const std::string &filePath) const {
  const std::string exec = desktop::unescape(value("Exec").value_or(""));
  const auto arguments = commandline::split(expandFieldCodes(exec, *this, filePath));
  if (const auto remembered = value(desktop::commandKey)) {
    std::string text = desktop::unescape(*remembered);
    if (commandline::canMean(text, arguments))
      return text;
  }
  return commandline::join(arguments);
}

void DesktopEntry::setCommand(std::string_view command, const commandline::FileProbe &probe) {
  const std::string canonical = commandline::join(commandline::arguments(command, probe));
  std::string exec;
  for (char c : canonical) {
    if (c == '%')
      exec += '%'; // a literal percent sign is never a field code
    exec += c;
  }
  setValue("Exec", desktop::escape(exec));
  if (canonical == command)
    removeKey(desktop::commandKey);
  else
    setValue(desktop::commandKey, desktop::escape(command));
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
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      text += raw[i];
      continue;
    }
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
