#pragma once
// The command-line rules shared by the autostart folders and the shell: how a command text is
// split into a program and its arguments, and how arguments are quoted back into a text.
//
// Splitting follows what desktop sessions do with an Exec line after its field codes are
// expanded, which is GLib's g_shell_parse_argv: blanks (space, tab, line feed) separate words;
// double quotes group, and inside them a backslash escapes only $ ` " \ and a line break, which
// stays; single quotes group literally; outside quotes a backslash takes the next character
// literally, and with a line feed joins the lines; a # that starts the line or follows a space
// or a line feed begins a comment up to and through the end of its line. A valid Exec line,
// whose reserved characters are always inside double quotes, splits the same way under these
// rules as under the Desktop Entry rules alone.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw::commandline {

struct Word {
  std::string text;      // the argument after quotes and escapes are undone
  std::size_t begin = 0; // where the word starts in the line
  std::size_t end = 0;   // one past its last character
  bool plain = true;     // written without any quote or backslash
};

std::vector<Word> splitWords(std::string_view line);
std::vector<std::string> split(std::string_view line);
// The words as a session takes them to start a program: nothing where GLib refuses the line,
// for a quote left open, a backslash at its very end, or no word at all. Splitting alone reads
// such a line as far as it goes.
std::optional<std::vector<std::string>> parse(std::string_view line);

// Whether the line is already in canonical form: words of characters that need no quoting,
// separated by single spaces. Such a line splits at its spaces and joins back to itself, so a
// reader can take it as it stands; most command lines in the wild are of this kind.
bool isCanonical(std::string_view line);

// Answers whether a path names an existing file that is not a directory.
using FileProbe = std::function<bool(const std::string &path)>;
bool isExistingFile(const std::string &path);

// The program and arguments a command text means. Like the Windows command line, an unquoted
// program path with blanks in it ("/opt/My Tools/run -x") is recognised when its first word
// names no file but a longer run of its leading words does.
std::vector<std::string> arguments(std::string_view command,
                                   const FileProbe &probe = isExistingFile);

// Whether the command text can mean these arguments: they are its words, or its leading plain
// words taken together with their blanks form the program. Needs no file system.
bool canMean(std::string_view command, const std::vector<std::string> &arguments);

// One argument as the Desktop Entry rules want it: bare when it holds no reserved character,
// otherwise in double quotes with " ` $ \ escaped.
std::string quote(std::string_view argument);
// Quoted arguments separated by single blanks; the canonical text of a command.
std::string join(const std::vector<std::string> &arguments);

} // namespace lw::commandline
