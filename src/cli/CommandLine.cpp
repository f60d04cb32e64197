// The command line's arguments, help and output. Only a QCoreApplication is built, for
// QCommandLineParser: no QApplication and no platform plugin, so it runs without a display.

#include "CommandLine.h"

#include "Commands.h"
#include "Console.h"

#include "platform/Native.h"
#include "support/FileError.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

namespace {

using cli::exitFailure;
using cli::exitSuccess;
using cli::exitUsage;

constexpr const char *programName = "launchwright";

constexpr const char *unnamedDesktop =
    "XDG_CURRENT_DESKTOP is not set: the entries are judged for no desktop in particular (one "
    "with OnlyShowIn counts as for another desktop); --desktop NAME judges them for one";

// Where every command's help sends the reader for the whole story: the package ships the
// manual page, not the README.
constexpr const char *seeManual = "See \"man launchwright\" for the details.";

constexpr const char *overview =
    "Lists, checks and changes the programs started at logon without opening the window.\n"
    "\n"
    "Commands:\n"
    "  list [--json] [--no-legend] [--desktop NAME] [--kind K]\n"
    "                                 every entry, as the window lists them, and every\n"
    "                                 other way a program starts at logon\n"
    "  check [--desktop NAME] [--kind K] [NAME]\n"
    "                                 why each entry (or each entry NAME) will or will not "
    "start\n"
    "  show --kind K --name N         an entry's autostart file, or its stored lines\n"
    "  add --kind K --name N --command C [--schedule RULE]\n"
    "                                 add an entry\n"
    "  delete --kind K --name N       delete an entry; it is kept in the backup file\n"
    "  disable --kind K --name N      switch an entry off without deleting it\n"
    "  enable --kind K --name N       switch it on again\n"
    "  restore --list [--json]        the records of the backup file, numbered\n"
    "  restore N                      write record N back and take it out of the file\n"
    "\n"
    "Kinds: customized, user, machine; listed, and where their source allows switched:\n"
    "       systemd-unit, session-script, boot-job, startup-folder, run-once, logon-task.\n"
    "Rules: daily, every-2-days, weekly, monthly, yearly, every:90m, every:3h, every:2d,\n"
    "       every:1w, weekday:tuesday, monthday:15.\n"
    "Exit status: 0 done; 1 a file could not be written or a checked entry will not start;\n"
    "             2 the request was refused and nothing was written.\n"
    "Run \"launchwright COMMAND --help\" for the options of one command.\n"
    "See \"man launchwright\" for the details.";

// Arguments are bytes. QCommandLineParser needs text, so an argument that QString does not give
// back byte for byte is handed to it as a stand-in token, and its value is taken back from argv
// unchanged. That asks more than whether the bytes are UTF-8 (support/Utf8): fromUtf8 also drops
// a byte-order mark at the start of valid UTF-8.
class RawArguments {
public:
  RawArguments(int argc, char *argv[]) {
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

  std::string bytesOf(const QString &value) const {
    const auto found = raw.find(value);
    return found != raw.end() ? found->second : value.toUtf8().toStdString();
  }

  QStringList list;

private:
  std::map<QString, std::string> raw;
};

using console::writeAll;

std::string oneLine(std::string text) {
  std::string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      while (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n'))
        ++i;
      if (!line.empty() && line.back() != ' ')
        line += ' ';
      continue;
    }
    line += text[i];
  }
  return line;
}

int complain(const std::string &message, int status) {
  writeAll(stderr, std::string(programName) + ": " + oneLine(message) + "\n");
  return status;
}

// Output to a closed pipe ends the program quietly; any other failed write is a failure.
int finish(const cli::Result &result) {
  for (const auto &note : result.notes)
    writeAll(stderr, std::string(programName) + ": " + oneLine(note) + "\n");
  if (!writeAll(stdout, result.out)) {
    if (errno == EPIPE)
      return result.status;
    return complain(std::string("cannot write the output: ") + std::strerror(errno), exitFailure);
  }
  if (!result.error.empty())
    return complain(result.error, result.status);
  return result.status;
}

struct Options {
  QCommandLineOption kind{"kind", "customized, user or machine.", "kind"};
  QCommandLineOption listedKind{"kind", "Only the entries of this kind (see --help).", "kind"};
  QCommandLineOption name{"name", "The entry's name, exactly.", "name"};
  QCommandLineOption command{"command", "The command line it starts.", "command"};
  QCommandLineOption schedule{"schedule", "Customized entries: the start rule (default daily).",
                              "rule"};
  QCommandLineOption json{"json", "One JSON array; its keys are in \"man launchwright\"."};
  QCommandLineOption noLegend{"no-legend",
                              "Tab-separated lines without a header, also on a terminal."};
  QCommandLineOption desktop{
      "desktop", "Judge the entries for this desktop, as if XDG_CURRENT_DESKTOP were NAME.",
      "name"};
  QCommandLineOption list{"list", "List the backup records, numbered."};
};

// The options of commands that take a value: the argument after one is its value, whatever it
// looks like.
bool takesValue(const QString &argument) {
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

// The first argument written like one of Qt's options where a command's options have two
// dashes. QCommandLineParser would take it for a cluster of one-letter options and name each
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

bool interactiveOutput() { return console::isTerminal(stdout); }

// The option, which must be given once.
std::optional<std::string> required(const QCommandLineParser &parser,
                                    const QCommandLineOption &option, const RawArguments &raw,
                                    std::string &missing) {
  // Given more than once is refused before this is asked.
  if (!parser.isSet(option)) {
    if (missing.empty())
      missing = "the option --" + option.names().first().toStdString() + " is missing";
    return std::nullopt;
  }
  return raw.bytesOf(parser.value(option));
}

int run(int argc, char *argv[]) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(programName);
  QCoreApplication::setApplicationVersion(QStringLiteral("1.03"));
  const RawArguments raw(argc, argv);

  QCommandLineParser top;
  top.setApplicationDescription(overview);
  top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  const QCommandLineOption help = top.addHelpOption();
  const QCommandLineOption version = top.addVersionOption();
  top.addPositionalArgument("command",
                            "list, check, show, add, delete, disable, enable or restore.");
  if (const auto word = qtStyleOptionIn(raw.list))
    return complain(refusalOfSingleDash(*word), exitUsage);
  if (!top.parse(raw.list))
    return complain(top.errorText().toStdString(), exitUsage);
  if (top.isSet(help) || top.isSet("help-all"))
    return finish({exitSuccess, top.helpText().toStdString(), {}});
  if (top.isSet(version))
    return finish({exitSuccess, std::string(programName) + " 1.03\n", {}});
  QStringList rest = top.positionalArguments();
  if (rest.isEmpty())
    return complain("no command given; see --help", exitUsage);
  const QString command = rest.takeFirst();

  Options options;
  QCommandLineParser parser;
  const QCommandLineOption commandHelp = parser.addHelpOption();
  // Shown in the usage line of the command's help; taken off again below.
  parser.addPositionalArgument(command, "This command.", command);
  const bool changesEntry = command == "delete" || command == "disable" || command == "enable";
  const bool namesEntry = changesEntry || command == "show";
  const auto describe = [&parser](const std::string &what) {
    parser.setApplicationDescription(QString::fromStdString(what + "\n" + seeManual));
  };
  if (command == "list") {
    describe("Every startup entry, in the window's order: aligned under a header on a terminal, "
             "tab-separated otherwise.");
    parser.addOptions({options.json, options.noLegend, options.desktop, options.listedKind});
  } else if (command == "check") {
    describe("Why each entry will or will not start. Exit status 0 when every entry checked will "
             "start, 1 otherwise.");
    parser.addOptions({options.desktop, options.listedKind});
    parser.addPositionalArgument("name", "Only the entries of this name.", "[NAME]");
  } else if (command == "add") {
    describe("Adds a startup entry.");
    parser.addOptions({options.kind, options.name, options.command, options.schedule});
  } else if (namesEntry) {
    describe(command == "show"      ? "Prints an entry's autostart file as it is, or a "
                                      "customized entry's stored lines."
             : command == "delete"  ? "Deletes an entry; it is kept in the backup file."
             : command == "disable" ? "Switches an entry off without deleting it."
                                    : "Switches an entry on again.");
    parser.addOptions({options.kind, options.name});
  } else if (command == "restore") {
    describe("Writes a record of the backup file back, as Reverse Startup Changes would after "
             "Yes, and takes it out of the file.");
    parser.addOptions({options.list, options.json});
    parser.addPositionalArgument("number", "The record's number in restore --list.", "[N]");
  } else {
    return complain("unknown command \"" + raw.bytesOf(command) + "\"; see --help", exitUsage);
  }
  rest.prepend(command);
  rest.prepend(QString::fromUtf8(programName));
  if (!parser.parse(rest))
    return complain(parser.errorText().toStdString(), exitUsage);
  if (parser.isSet(commandHelp) || parser.isSet("help-all"))
    return finish({exitSuccess, parser.helpText().toStdString(), {}});
  // Every option once: a second one would be ignored, or its value would silently win.
  const QStringList given = parser.optionNames();
  for (qsizetype i = 0; i < given.size(); ++i)
    if (given.indexOf(given[i], i + 1) > i)
      return complain("the option --" + given[i].toStdString() + " is given more than once",
                      exitUsage);
  const QStringList positional = parser.positionalArguments().mid(1);
  const qsizetype allowed = command == "check" || command == "restore" ? 1 : 0;
  if (positional.size() > allowed)
    return complain("unexpected argument \"" + raw.bytesOf(positional.last()) + "\"", exitUsage);

  std::string missing;
  std::optional<EntryKind> kind;
  std::optional<LogonSourceKind> logonKind; // disable and enable of another way to start
  cli::Kinds listed;
  std::optional<std::string> name;
  std::optional<std::string> entryCommand;
  std::optional<std::string> rule;
  if (command == "add" || namesEntry) {
    if (const auto word = required(parser, options.kind, raw, missing)) {
      const auto kinds = cli::kindsOfWord(*word);
      kind = kinds ? kinds->entry : std::nullopt;
      if (kinds && kinds->logon && command != "disable" && command != "enable" && missing.empty())
        missing = "entries of kind " + *word +
                  " are only listed and switched here; change them with the tool that owns them";
      else if (kinds && kinds->logon)
        logonKind = kinds->logon;
      else if (!kind && missing.empty())
        missing = "unknown kind \"" + *word + "\"; use " + cli::kindWords;
    }
    name = required(parser, options.name, raw, missing);
    if (command == "add") {
      entryCommand = required(parser, options.command, raw, missing);
      if (parser.isSet(options.schedule))
        rule = required(parser, options.schedule, raw, missing);
    }
  }
  long long record = 0;
  if (command == "restore") {
    if (parser.isSet(options.list) == !positional.isEmpty())
      missing = "give either --list or a record number";
    else if (!positional.isEmpty()) {
      bool number = false;
      record = positional.first().toLongLong(&number);
      if (!number)
        missing = "\"" + raw.bytesOf(positional.first()) + "\" is not a record number";
    }
    if (missing.empty() && parser.isSet(options.json) && !parser.isSet(options.list))
      missing = "--json goes with --list";
  }
  if ((command == "list" || command == "check") && parser.isSet(options.listedKind)) {
    const std::string word = raw.bytesOf(parser.value(options.listedKind));
    if (const auto kinds = cli::kindsOfWord(word))
      listed = *kinds;
    else
      missing = "unknown kind \"" + word + "\"; use " + cli::kindWords;
  }
  std::optional<std::string> desktop;
  if ((command == "list" || command == "check") && parser.isSet(options.desktop)) {
    desktop = raw.bytesOf(parser.value(options.desktop));
    if (desktop->empty() && missing.empty())
      missing = "the desktop's name cannot be empty";
  }
  if (!missing.empty())
    return complain(missing, exitUsage);

  // Only now the program's files are needed: help works on any installation.
  auto registry = makeNativeRegistry();
  auto shell = makeNativeShell();
  auto clock = makeNativeClock();
  auto location = makeNativeLocation();
  auto startup = makeNativeStartupState(desktop);
  cli::CommandLinePrompter prompter;
  const auto logonSources = makeNativeLogonSources();
  Platform platform{*registry, *shell, *clock, *location, prompter, prompter, *startup};
  for (const auto &source : logonSources)
    platform.logonSources.push_back(source.get());
  try {
    LanguageTable texts(platform);
    // Scripts and support staff read the same words on every machine.
    texts.loadSection("[English]");
    cli::Context context{platform, texts, LW_STARTER_FILE};
    if (command == "list" || command == "check") {
      const auto form = [&] {
        if (parser.isSet(options.json))
          return cli::ListForm::Json;
        return parser.isSet(options.noLegend) || !interactiveOutput() ? cli::ListForm::Lines
                                                                      : cli::ListForm::Table;
      };
      std::optional<std::string> checked;
      if (!positional.isEmpty())
        checked = raw.bytesOf(positional.first());
      const cli::Result result = command == "list" ? cli::listEntries(context, form(), listed)
                                                   : cli::checkEntries(context, checked, listed);
      // Entries meant for some desktops only are judged for none: say so, once.
      if (!desktop && !sessionNamesItsDesktop() && result.status != exitUsage)
        writeAll(stderr, std::string(programName) + ": " + unnamedDesktop + "\n");
      return finish(result);
    }
    if (command == "show")
      return finish(cli::showEntry(context, *kind, *name));
    if (command == "add")
      return finish(cli::addEntry(context, *kind, *name, *entryCommand, rule));
    if (command == "delete")
      return finish(cli::deleteEntry(context, *kind, *name));
    if (changesEntry && logonKind)
      return finish(cli::switchLogonEntry(context, *logonKind, *name, command == "enable"));
    if (changesEntry)
      return finish(cli::switchEntry(context, *kind, *name, command == "enable"));
    return finish(parser.isSet(options.list) ? cli::listBackup(context, parser.isSet(options.json))
                                             : cli::restoreRecord(context, record));
  } catch (const FileError &error) {
    return complain(error.what(), exitFailure);
  } catch (const std::bad_alloc &) {
    // A data file too large to be read is refused before this; should memory run out anyway,
    // the command ends here as it does on a FileError.
    return complain("not enough memory for this command; it was stopped", exitFailure);
  }
}

} // namespace

bool onlyWindowOptions(int argc, char *argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    const auto word = singleDashWord(argument);
    const auto value = word ? qtOption(*word) : std::nullopt;
    if (!value)
      return false;
    const bool equals = argument.find('=') != std::string_view::npos;
    switch (*value) {
    case QtValue::None:
      if (equals)
        return false;
      break;
    case QtValue::Equals:
      if (!equals)
        return false;
      break;
    case QtValue::Next:
      if (equals || ++i == argc)
        return false;
      break;
    case QtValue::NextOrEquals:
      if (!equals && ++i == argc)
        return false;
      break;
    }
  }
  return true;
}

int runCommandLine(int argc, char *argv[]) {
  // A reader that goes away (| head) must not kill the program half-way through a change.
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
  std::vector<std::string> arguments = console::utf8Arguments(argc, argv);
  std::vector<char *> pointers;
  for (auto &argument : arguments)
    pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return run(argc, pointers.data());
}

} // namespace lw
