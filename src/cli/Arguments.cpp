#include "Arguments.h"

#include "CommandLine.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace lw {
namespace cli {

namespace {

// The options of commands that take a value: the argument after one is its value, whatever it
// looks like.
bool takesValue(const QString &argument) {
#ifdef _WIN32
  if (argument == "--view") // only Windows has the machine's two Run-key views
    return true;
#endif
  return argument == "--kind" || argument == "--name" || argument == "--command" ||
         argument == "--schedule" || argument == "--desktop";
}

enum class QtValue { None, Next, NextOrEquals, Equals };

// Qt's own options for the window (its own and its X11 platform's), which QApplication takes
// out of the arguments: how each takes its value; nothing for a word that is none of them.
std::optional<QtValue> qtOption(std::string_view name) {
  static constexpr std::string_view next[] = {"platform",
                                              "platformpluginpath",
                                              "platformtheme",
                                              "plugin",
                                              "qwindowgeometry",
                                              "geometry",
                                              "qwindowtitle",
                                              "title",
                                              "qwindowicon",
                                              "icon",
                                              "session",
                                              "display",
                                              "name",
                                              "visual"};
  static constexpr std::string_view alone[] = {"reverse", "widgetcount", "nograb", "dograb",
                                               "testability"};
  if (name == "style" || name == "stylesheet")
    return QtValue::NextOrEquals;
  if (name == "qmljsdebugger")
    return QtValue::Equals;
  if (std::ranges::find(next, name) != std::end(next))
    return QtValue::Next;
  if (std::ranges::find(alone, name) != std::end(alone))
    return QtValue::None;
  return std::nullopt;
}

// "-word" or "-word=value": one dash and more than one letter, as Qt writes its options.
std::optional<std::string> singleDashWord(std::string_view argument) {
  if (argument.size() < 3 || argument[0] != '-' || argument[1] == '-')
    return std::nullopt;
  return std::string(argument.substr(1, argument.find('=') - 1));
}

} // namespace

RawArguments::RawArguments(int argc, char *argv[]) {
  for (int i = 0; i < argc; ++i) {
    const std::string bytes(argv[i]);
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8().toStdString() == bytes) {
      list.append(text);
      continue;
    }
    // "--name=VALUE" keeps its option part readable.
    std::string prefix;
    std::string value = bytes;
    if (bytes.starts_with("--"))
      if (const auto equals = bytes.find('='); equals != std::string::npos) {
        prefix = bytes.substr(0, equals + 1);
        value = bytes.substr(equals + 1);
      }
    const QString token = QChar(0xE000) + QString::number(i) + QChar(0xE000);
    raw[token] = value;
    list.append(QString::fromUtf8(prefix) + token);
  }
}

std::string RawArguments::bytesOf(const QString &value) const {
  const auto found = raw.find(value);
  return found != raw.end() ? found->second : value.toUtf8().toStdString();
}

// QCommandLineParser would take such a word for a cluster of one-letter options and name each
// letter; a word of our own is clearer. Values of options and anything after "--" are skipped.
std::optional<std::string> qtStyleOptionIn(const QStringList &arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == "--")
      break;
    if (takesValue(arguments[i])) {
      ++i;
      continue;
    }
    if (auto word = singleDashWord(arguments[i].toStdString()))
      return word;
  }
  return std::nullopt;
}

std::string refusalOfSingleDash(const std::string &word) {
  if (qtOption(word))
    return "\"-" + word +
           "\" is one of Qt's options for the window, which a command does not open; give it "
           "without a command to start the window with it";
  return "unknown option \"-" + word + "\": the options of commands begin with two dashes";
}

} // namespace cli

bool onlyWindowOptions(int argc, char *argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    const auto word = cli::singleDashWord(argument);
    const auto value = word ? cli::qtOption(*word) : std::nullopt;
    if (!value)
      return false;
    const bool equals = argument.find('=') != std::string_view::npos;
    switch (*value) {
    case cli::QtValue::None:
      if (equals)
        return false;
      break;
    case cli::QtValue::Equals:
      if (!equals)
        return false;
      break;
    case cli::QtValue::Next:
      if (equals || ++i == argc)
        return false;
      break;
    case cli::QtValue::NextOrEquals:
      if (!equals && ++i == argc)
        return false;
      break;
    }
  }
  return true;
}

} // namespace lw
