#pragma once
// The command line's arguments as given: bytes kept byte for byte through QCommandLineParser, and
// Qt's own options for the window told apart from a command's.

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <string>

namespace lw::cli {

// Arguments are bytes. QCommandLineParser needs text, so an argument that QString does not give
// back byte for byte is handed to it as a stand-in token, and its value is taken back from argv
// unchanged. That asks more than whether the bytes are UTF-8 (support/Utf8): fromUtf8 also drops
// a byte-order mark at the start of valid UTF-8.
class RawArguments {
public:
  RawArguments(int argc, char *argv[]);

  // The bytes of an argument or of an option's value, as given.
  std::string bytesOf(const QString &value) const;

  QStringList list;

private:
  std::map<QString, std::string> raw;
};

// The first argument written like one of Qt's options (one dash, a word) where a command's
// options have two dashes; nothing when there is none.
std::optional<std::string> qtStyleOptionIn(const QStringList &arguments);

// Why such a word is refused.
std::string refusalOfSingleDash(const std::string &word);

} // namespace lw::cli
