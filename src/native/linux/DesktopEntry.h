#pragma once
// A desktop entry file (".desktop") kept as its lines, so that rewriting one key leaves every
// other line of the file exactly as it was: translations, comments, other groups.
//
// Lines are read as GLib's key-file parser reads them, because that is what the desktop itself
// uses: blanks before a line, after a group header's ']', after a key and before a value are
// dropped; a group that appears twice is one group, and a key written twice has its last value.
// A NUL byte ends the text of its line, and only the CR of a CR LF is dropped, as GLib's C
// strings have it.

#include "CommandLine.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

class DesktopEntry {
public:
  static DesktopEntry parse(std::string_view bytes);
  // The same, keeping the bytes themselves instead of a copy.
  static DesktopEntry fromBytes(std::string bytes);
  // The file's bytes, LF after every line.
  std::string bytes() const;

  // Whether the file has the "[Desktop Entry]" group that makes it an entry at all.
  bool hasMainGroup() const;
  // The first line that is neither a comment, a group header nor a key line, that comes before
  // the first group, or that declares an Encoding other than UTF-8 in the first group; a
  // desktop refuses the whole file then. Nothing when all is well.
  std::optional<std::size_t> badLine() const;
  // Whether the first group of the file is "[Desktop Entry]", as a desktop requires.
  bool startsWithMainGroup() const;

  // The value of a key of the main group as written in the file (string escapes still in
  // place); a key written twice gives its last value.
  std::optional<std::string> value(std::string_view key) const;
  // The same without a copy; valid until the entry is changed.
  std::optional<std::string_view> view(std::string_view key) const;
  // Replaces the key's first line and drops any repeats; a new key goes after the last key of
  // the main group, which is created when missing.
  void setValue(std::string_view key, std::string_view rawValue);
  void removeKey(std::string_view key);

  // A boolean as GLib reads it: "true" or "1", "false" or "0", blanks after it ignored, case
  // significant; anything else is no boolean.
  std::optional<bool> boolean(std::string_view key) const;
  // A list value split at unescaped ';', each item unescaped; an empty value is an empty list.
  // As GLib, nothing when the value is not UTF-8 or holds a backslash that starts none of the
  // escapes \s \n \t \r \\ \; (a lone one at the end among them): such a list is no list.
  std::optional<std::vector<std::string>> list(std::string_view key) const;
  // The Name a desktop shows, as written (string escapes in place): the translation for the
  // first of languages (desktop::languageNames) the entry has, else the untranslated Name. A
  // value that is not UTF-8 counts as missing there, as in GLib. Nothing without a Name.
  std::optional<std::string_view> localizedName(const std::vector<std::string> &languages) const;
  // Every translation of Name ("Name[de]") with its value as written, in file order.
  std::vector<std::pair<std::string_view, std::string_view>> nameTranslations() const;
  // Whether the entry is switched off: Hidden is true, or X-GNOME-Autostart-enabled is present
  // and not true (GNOME's session counts a value it cannot read as false).
  bool switchedOff() const;
  // Removes every key that keeps some session from starting the entry, and nothing else: a
  // Hidden that is not false, an X-GNOME-Autostart-enabled that is not true.
  void switchOn();

  // Whether Exec is there and already in the canonical form of a command line: nothing to
  // unescape, unquote or split. Worked out once for the entry as it is.
  bool execIsCanonical() const;

  // The command the session runs, as one text. Field codes are expanded as for a start
  // without files; the text this program wrote is given back exactly when the Exec line still
  // means it. filePath is the entry's own location, for %k.
  std::string command(const std::string &filePath) const;
  // Sets Exec so that the session runs what the command text means, remembering the text
  // itself when the canonical form of Exec would read back differently.
  void setCommand(std::string_view command,
                  const commandline::FileProbe &probe = commandline::isExistingFile);

private:
  struct Range {
    std::size_t header;
    std::size_t end;
  };
  // Every "[Desktop Entry]" group in file order: together they are the main group.
  std::vector<Range> mainGroups() const;
  // The key lines of the main group in file order, found once: a listing asks each entry for
  // a dozen keys. Positions, not views, so that a copy of the entry stays valid.
  struct KeyAt {
    std::size_t line, keyBegin, keyLength, valueBegin, valueLength;
  };
  const std::vector<KeyAt> &mainKeys() const;
  // The position in the key index of the last line of each key every listing asks for, or
  // -1; other keys are searched for.
  static constexpr std::size_t knownKeyCount = 11;
  mutable std::array<int, knownKeyCount> knownAt{};
  // The first and last translation of Name in the key index, or -1: a listing shows a Name
  // in the user's language, and most files have few translations or none.
  mutable int firstNameTranslation = -1;
  mutable int lastNameTranslation = -1;
  void scan() const;
  std::string_view line(std::size_t i) const {
    return std::string_view(text).substr(spans[i].first, spans[i].second);
  }
  std::size_t lineCount() const { return spans.size(); }
  // The line as GLib parses it: without the CR of a CR LF. A CR that ends the file stays.
  std::string_view lineBody(std::size_t i) const {
    auto body = line(i);
    if (!body.empty() && body.back() == '\r' && (i + 1 < lineCount() || text.back() == '\n'))
      body.remove_suffix(1);
    return body;
  }
  // Edits work on the lines as strings, then make them the file's bytes again.
  std::vector<std::string> lineCopies() const;
  void setLines(const std::vector<std::string> &lines);

  std::string text; // the bytes as read or as the last edit left them
  std::vector<std::pair<std::size_t, std::size_t>> spans; // each line's start and length
  // Found on first use. Every edit makes the entry afresh (setLines), so they never outlive the
  // text they were found in.
  mutable std::vector<KeyAt> keyIndex;
  mutable std::optional<std::size_t> firstBad;
  mutable bool mainFirst = false;
  mutable bool indexed = false;
  mutable std::optional<bool> canonicalExec;
};

namespace desktop {
// The string escapes of desktop entry values: \s \n \t \r \\. Unescaping keeps any other
// backslash pair as it is and drops a lone backslash at the end, as GLib does.
std::string escape(std::string_view text);
std::string unescape(std::string_view raw);
// The locales whose translations a desktop shows, most wanted first, as GLib works them out for
// messages: the first set of LANGUAGE (a list separated by ':'), LC_ALL, LC_MESSAGES and LANG,
// each locale followed by its less specific forms ("de_DE.UTF-8@euro", "de_DE@euro",
// "de.UTF-8@euro", "de@euro", "de_DE.UTF-8", "de_DE", "de.UTF-8", "de"), then "C".
std::vector<std::string>
languageNames(const std::function<const char *(const char *)> &environment);
// Key under which the exact command text is kept when Exec alone cannot give it back.
inline constexpr const char *commandKey = "X-Launchwright-Command";
} // namespace desktop

} // namespace lw
