#pragma once
// A desktop entry file (".desktop") kept as its lines, so that rewriting one key leaves every
// other line of the file exactly as it was: translations, comments, other groups.

#include "CommandLine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

class DesktopEntry {
public:
  static DesktopEntry parse(std::string_view bytes);
  // The file's bytes, LF after every line.
  std::string bytes() const;

  // Whether the file has the "[Desktop Entry]" group that makes it an entry at all.
  bool hasMainGroup() const;

  // The value of a key of the main group as written in the file (string escapes still in
  // place); a key written twice gives its last value.
  std::optional<std::string> value(std::string_view key) const;
  // Replaces the key's first line and drops any repeats; a new key goes after the last key of
  // the main group, which is created when missing.
  void setValue(std::string_view key, std::string_view rawValue);
  void removeKey(std::string_view key);

  // Whether the session starts this entry at logon: a main group, neither Hidden nor disabled
  // through X-GNOME-Autostart-enabled.
  bool startsAtLogon() const;

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
  std::optional<Range> mainGroup() const;
  std::optional<bool> boolean(std::string_view key) const;

  std::vector<std::string> lines;
};

namespace desktop {
// The string escapes of desktop entry values: \s \n \t \r \\.
std::string escape(std::string_view text);
std::string unescape(std::string_view raw);
// Key under which the exact command text is kept when Exec alone cannot give it back.
inline constexpr const char *commandKey = "X-Launchwright-Command";
} // namespace desktop

} // namespace lw
