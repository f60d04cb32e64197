#include "DesktopEntry.h"

#include "KeyFileSyntax.h"
#include "support/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace lw {
namespace {

using keyfile::content;
using keyfile::groupName;
using keyfile::isControl;
using keyfile::isSpace;
using keyfile::isUtf8EncodingName;
using keyfile::isValidGroupName;
using keyfile::isValidKey;
using keyfile::splitKeyLine;

constexpr std::string_view mainGroupName = "Desktop Entry";

// The keys a listing asks every entry for, each with its place in DesktopEntry::knownAt;
// -1 for any other key. Decided by length first, so that most keys cost one comparison.
constexpr int knownKey(std::string_view key) {
  switch (key.size()) {
  case 4:
    return key == "Type"   ? 0
           : key == "Exec" ? 1
           : key == "Path" ? 2
           : key == "Name" ? 3
           : key == "Icon" ? 4
                           : -1;
  case 6:
    return key == "Hidden" ? 5 : -1;
  case 7:
    return key == "TryExec" ? 6 : -1;
  case 9:
    return key == "NotShowIn" ? 7 : -1;
  case 10:
    return key == "OnlyShowIn" ? 8 : -1;
  case 22:
    return key == desktop::commandKey ? 9 : -1;
  case 25:
    return key == "X-GNOME-Autostart-enabled" ? 10 : -1;
  default:
    return -1;
  }
}

// "Name[" followed by a locale: a translation of the Name a desktop shows.
bool isNameTranslation(std::string_view key) {
  return key.size() > 6 && key[4] == '[' && key.substr(0, 4) == "Name";
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

DesktopEntry DesktopEntry::parse(std::string_view bytes) { return fromBytes(std::string(bytes)); }

DesktopEntry DesktopEntry::fromBytes(std::string bytes) {
  DesktopEntry entry;
  entry.text = std::move(bytes);
  const std::string_view all = entry.text;
  entry.spans.reserve(all.size() / 16 + 4); // a guess that fits most entries without a copy
  std::size_t start = 0;
  while (start < all.size()) {
    auto end = all.find('\n', start);
    if (end == std::string_view::npos)
      end = all.size();
    entry.spans.emplace_back(start, end - start);
    start = end + 1;
  }
  return entry;
}

std::string DesktopEntry::bytes() const {
  if (text.empty() || text.back() == '\n')
    return text;
  return text + '\n';
}

std::vector<std::string> DesktopEntry::lineCopies() const {
  std::vector<std::string> copies;
  copies.reserve(lineCount());
  for (std::size_t i = 0; i < lineCount(); ++i)
    copies.emplace_back(line(i));
  return copies;
}

void DesktopEntry::setLines(const std::vector<std::string> &lines) {
  std::string joined;
  for (const auto &each : lines) {
    joined += each;
    joined += '\n';
  }
  *this = fromBytes(std::move(joined));
}

std::vector<DesktopEntry::Range> DesktopEntry::mainGroups() const {
  std::vector<Range> groups;
  const std::size_t count = lineCount();
  for (std::size_t i = 0; i < count; ++i) {
    const auto name = groupName(lineBody(i));
    if (!name)
      continue;
    if (!groups.empty() && groups.back().end == count)
      groups.back().end = i;
    if (*name == mainGroupName)
      groups.push_back({i, count});
  }
  return groups;
}

bool DesktopEntry::hasMainGroup() const { return !mainGroups().empty(); }

std::optional<std::size_t> DesktopEntry::badLine() const {
  scan();
  return firstBad;
}

bool DesktopEntry::startsWithMainGroup() const {
  scan();
  return mainFirst;
}

const std::vector<DesktopEntry::KeyAt> &DesktopEntry::mainKeys() const {
  scan();
  return keyIndex;
}

void DesktopEntry::scan() const {
  if (indexed)
    return;
  keyIndex.clear();
  keyIndex.reserve(lineCount());
  knownAt.fill(-1);
  firstNameTranslation = lastNameTranslation = -1;
  firstBad.reset();
  mainFirst = false;
  // One pass over the lines for every question a listing asks: the key lines of every
  // "[Desktop Entry]" group, the first line a desktop refuses, and which group comes first.
  bool seenGroup = false;
  bool inGroup = false;
  bool inMain = false;
  bool inStart = false; // in the file's first group, where GLib checks "Encoding"
  std::string_view startGroup;
  // Almost no file holds a NUL byte: one look at the whole text spares one at every line.
  const bool anyNul = text.find('\0') != std::string::npos;
  for (std::size_t i = 0; i < lineCount(); ++i) {
    const std::string_view whole = content(lineBody(i));
    // GLib reads a line as a C string: its text ends at a NUL byte.
    const std::string_view stripped = anyNul ? whole.substr(0, whole.find('\0')) : whole;
    bool bad = false;
    if (stripped.empty() || stripped.front() == '#') {
      // a comment or an empty line
    } else if (const auto name = groupName(stripped)) {
      if (!seenGroup) {
        mainFirst = *name == mainGroupName;
        startGroup = *name;
      }
      seenGroup = inGroup = true;
      inMain = *name == mainGroupName;
      inStart = *name == startGroup;
      // GLib cuts the name at the line's last ']', even one after a NUL byte.
      bad = !isValidGroupName(*name) || whole.find(']', stripped.size()) != std::string_view::npos;
    } else {
      const auto keyLine = splitKeyLine(stripped);
      bad = !keyLine || !inGroup || !isValidKey(keyLine->key);
      // GLib refuses a file that declares any other encoding, comparing the whole rest of the
      // line, NUL bytes included.
      if (!bad && inStart && keyLine->key == "Encoding")
        bad = !isUtf8EncodingName(
            whole.substr(static_cast<std::size_t>(keyLine->value.data() - whole.data())));
      if (keyLine && inMain) {
        if (const int known = knownKey(keyLine->key); known >= 0) {
          knownAt[static_cast<std::size_t>(known)] = static_cast<int>(keyIndex.size());
        } else if (isNameTranslation(keyLine->key)) {
          if (firstNameTranslation < 0)
            firstNameTranslation = static_cast<int>(keyIndex.size());
          lastNameTranslation = static_cast<int>(keyIndex.size());
        }
        const char *begin = line(i).data();
        keyIndex.push_back(
            {i, static_cast<std::size_t>(keyLine->key.data() - begin), keyLine->key.size(),
             static_cast<std::size_t>(keyLine->value.data() - begin), keyLine->value.size()});
      }
    }
    if (bad && !firstBad)
      firstBad = i;
  }
  indexed = true;
}

std::optional<std::string_view> DesktopEntry::view(std::string_view key) const {
  const auto &keys = mainKeys();
  const auto valueAt = [this](const KeyAt &at) {
    return line(at.line).substr(at.valueBegin, at.valueLength);
  };
  if (const int known = knownKey(key); known >= 0) {
    const int at = knownAt[static_cast<std::size_t>(known)];
    if (at < 0)
      return std::nullopt;
    return valueAt(keys[static_cast<std::size_t>(at)]);
  }
  for (auto at = keys.rbegin(); at != keys.rend(); ++at)
    if (at->keyLength == key.size() && line(at->line).substr(at->keyBegin, at->keyLength) == key)
      return valueAt(*at);
  return std::nullopt;
}

std::optional<std::string> DesktopEntry::value(std::string_view key) const {
  if (const auto found = view(key))
    return std::string(*found);
  return std::nullopt;
}

void DesktopEntry::setValue(std::string_view key, std::string_view rawValue) {
  auto groups = mainGroups();
  auto lines = lineCopies();
  if (groups.empty()) {
    lines.emplace_back("[Desktop Entry]");
    groups.push_back({lines.size() - 1, lines.size()});
  }
  std::vector<std::size_t> found;
  std::size_t lastKey = groups.front().header;
  for (const auto &group : groups)
    for (std::size_t i = group.header + 1; i < group.end; ++i)
      if (const auto keyLine = splitKeyLine(lines[i])) {
        if (keyLine->key == key)
          found.push_back(i);
        if (group.header == groups.front().header)
          lastKey = i;
      }
  std::string newLine = std::string(key) + "=" + std::string(rawValue);
  if (found.empty()) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastKey + 1), std::move(newLine));
  } else {
    lines[found.front()] = std::move(newLine);
    for (auto i = found.size() - 1; i > 0; --i)
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(found[i]));
  }
  setLines(lines);
}

void DesktopEntry::removeKey(std::string_view key) {
  const auto groups = mainGroups();
  auto lines = lineCopies();
  bool removed = false;
  for (auto group = groups.rbegin(); group != groups.rend(); ++group)
    for (std::size_t i = group->end; i-- > group->header + 1;)
      if (const auto keyLine = splitKeyLine(lines[i]); keyLine && keyLine->key == key) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        removed = true;
      }
  if (removed)
    setLines(lines);
}

std::optional<std::string_view>
DesktopEntry::localizedName(const std::vector<std::string> &languages) const {
  const auto &keys = mainKeys();
  const auto valueAt = [this](const KeyAt &at) {
    return line(at.line).substr(at.valueBegin, at.valueLength);
  };
  // One walk from the last translation back: the last line of a key is its value, and a value
  // that is not UTF-8 leaves its locale out, as GLib then goes on to the next one. Locales
  // past the 64th are never wanted in practice and not looked at.
  const std::size_t wanted = std::min<std::size_t>(languages.size(), 64);
  std::size_t best = wanted;
  std::uint64_t decided = 0;
  std::string_view found;
  for (int i = lastNameTranslation; i >= firstNameTranslation && i >= 0 && best > 0; --i) {
    const KeyAt &at = keys[static_cast<std::size_t>(i)];
    const std::string_view key(line(at.line).data() + at.keyBegin, at.keyLength);
    if (key.back() != ']' || !isNameTranslation(key))
      continue;
    const std::string_view locale = key.substr(5, key.size() - 6);
    for (std::size_t rank = 0; rank < best; ++rank) {
      const std::string &language = languages[rank];
      if (language.size() != locale.size() || std::string_view(language) != locale)
        continue;
      if (!(decided & (std::uint64_t(1) << rank))) {
        decided |= std::uint64_t(1) << rank;
        if (const auto value = valueAt(at); isValidUtf8(value)) {
          best = rank;
          found = value;
        }
      }
      break;
    }
  }
  if (best < wanted)
    return found;
  constexpr auto name = static_cast<std::size_t>(knownKey("Name"));
  if (const int at = knownAt[name]; at >= 0)
    if (const auto plain = valueAt(keys[static_cast<std::size_t>(at)]); isValidUtf8(plain))
      return plain;
  return std::nullopt;
}

std::vector<std::pair<std::string_view, std::string_view>> DesktopEntry::nameTranslations() const {
  const auto &keys = mainKeys();
  std::vector<std::pair<std::string_view, std::string_view>> found;
  for (int i = firstNameTranslation; i >= 0 && i <= lastNameTranslation; ++i) {
    const KeyAt &at = keys[static_cast<std::size_t>(i)];
    const auto key = line(at.line).substr(at.keyBegin, at.keyLength);
    if (isNameTranslation(key))
      found.emplace_back(key, line(at.line).substr(at.valueBegin, at.valueLength));
  }
  return found;
}

std::optional<bool> DesktopEntry::boolean(std::string_view key) const {
  auto word = view(key);
  if (!word)
    return std::nullopt;
  while (!word->empty() && isSpace(word->back()))
    word->remove_suffix(1);
  if (*word == "true" || *word == "1")
    return true;
  if (*word == "false" || *word == "0")
    return false;
  return std::nullopt;
}

std::optional<std::vector<std::string>> DesktopEntry::list(std::string_view key) const {
  const auto raw = view(key);
  if (!raw || !isValidUtf8(*raw))
    return std::nullopt;
  std::vector<std::string> items;
  std::string item;
  for (std::size_t i = 0; i < raw->size(); ++i) {
    const char c = (*raw)[i];
    if (c == ';') {
      items.push_back(std::move(item));
      item.clear();
    } else if (c != '\\') {
      item += c;
    } else if (i + 1 == raw->size()) {
      return std::nullopt;
    } else {
      switch ((*raw)[++i]) {
      case 's':
        item += ' ';
        break;
      case 'n':
        item += '\n';
        break;
      case 't':
        item += '\t';
        break;
      case 'r':
        item += '\r';
        break;
      case '\\':
      case ';': // an escaped separator is part of the item
        item += (*raw)[i];
        break;
      default:
        return std::nullopt;
      }
    }
  }
  if (!item.empty())
    items.push_back(std::move(item));
  return items;
}

bool DesktopEntry::switchedOff() const {
  return boolean("Hidden") == true ||
         (view("X-GNOME-Autostart-enabled") && boolean("X-GNOME-Autostart-enabled") != true);
}

void DesktopEntry::switchOn() {
  // systemd also takes yes, on or True for true, and skips a file whose Hidden it cannot read.
  if (view("Hidden") && boolean("Hidden") != false)
    removeKey("Hidden");
  if (value("X-GNOME-Autostart-enabled") && boolean("X-GNOME-Autostart-enabled") != true)
    removeKey("X-GNOME-Autostart-enabled");
}

bool DesktopEntry::execIsCanonical() const {
  if (!canonicalExec) {
    const auto raw = view("Exec");
    canonicalExec = raw && commandline::isCanonical(*raw); // refuses backslashes too
  }
  return *canonicalExec;
}

std::string DesktopEntry::command(const std::string &filePath) const {
  const auto raw = view("Exec");
  // Without escapes, field codes or anything to quote, the line is its own canonical form.
  if (execIsCanonical() && raw->find('%') == std::string_view::npos && !view(desktop::commandKey))
    return std::string(*raw);
  const std::string exec = desktop::unescape(raw.value_or(""));
  const auto arguments = commandline::split(expandFieldCodes(exec, *this, filePath));
  if (const auto remembered = value(desktop::commandKey)) {
    std::string typed = desktop::unescape(*remembered);
    if (commandline::canMean(typed, arguments))
      return typed;
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

} // namespace lw
