// The command line's arguments, help and output. Only a QCoreApplication is built, for
// QCommandLineParser: no QApplication and no platform plugin, so it runs without a display.

#include "CommandLine.h"

#include "Commands.h"

#include "platform/Native.h"
#include "support/FileError.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>

namespace lw {

namespace {

using cli::exitFailure;
using cli::exitSuccess;
using cli::exitUsage;

constexpr const char *programName = "launchwright";

constexpr const char *overview =
    "Lists, checks and changes the programs started at logon without opening the window.\n"
    "\n"
    "Commands:\n"
    "  list [--json]                  every entry, as the window lists them\n"
    "  check [NAME]                   why each entry (or each entry NAME) will or will not "
    "start\n"
    "  add --kind K --name N --command C [--schedule RULE]\n"
    "                                 add an entry\n"
    "  delete --kind K --name N       delete an entry; it is kept in the backup file\n"
    "  disable --kind K --name N      switch an entry off without deleting it\n"
    "  enable --kind K --name N       switch it on again\n"
    "  restore --list                 the records of the backup file, numbered\n"
    "  restore N                      write record N back and take it out of the file\n"
    "\n"
    "Kinds: customized, user, machine.\n"
    "Rules: daily, every-2-days, weekly, monthly, yearly, every:90m, every:3h, every:2d,\n"
    "       every:1w, weekday:tuesday, monthday:15.\n"
    "Exit status: 0 done; 1 a file could not be written or a checked entry will not start;\n"
    "             2 the request was refused and nothing was written.\n"
    "Run \"launchwright COMMAND --help\" for the options of one command.";

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

// Writes everything; false when the stream is gone or full.
bool writeAll(std::FILE *stream, const std::string &text) {
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size())
    return false;
  return std::fflush(stream) == 0;
}

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
  QCommandLineOption name{"name", "The entry's name, exactly.", "name"};
  QCommandLineOption command{"command", "The command line it starts.", "command"};
  QCommandLineOption schedule{"schedule", "Customized entries: the start rule (default daily).",
                              "rule"};
  QCommandLineOption json{"json", "One JSON document; the schema is in the README."};
  QCommandLineOption list{"list", "List the backup records, numbered."};
};

// The option, which must be given once.
std::optional<std::string> required(const QCommandLineParser &parser,
                                    const QCommandLineOption &option, const RawArguments &raw,
                                    std::string &missing) {
  const QStringList values = parser.values(option);
  if (values.size() != 1) {
    if (missing.empty())
      missing =
          values.empty()
              ? "the option --" + option.names().first().toStdString() + " is missing"
              : "the option --" + option.names().first().toStdString() + " is given more than once";
    return std::nullopt;
  }
  return raw.bytesOf(values.first());
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
  top.addPositionalArgument("command", "list, check, add, delete, disable, enable or restore.");
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
  if (command == "list") {
    parser.setApplicationDescription("Every startup entry, in the window's order.");
    parser.addOption(options.json);
  } else if (command == "check") {
    parser.setApplicationDescription(
        "Why each entry will or will not start. Exit status 0 when every entry checked will "
        "start, 1 otherwise.");
    parser.addPositionalArgument("name", "Only the entries of this name.", "[NAME]");
  } else if (command == "add") {
    parser.setApplicationDescription("Adds a startup entry.");
    parser.addOptions({options.kind, options.name, options.command, options.schedule});
  } else if (changesEntry) {
    parser.setApplicationDescription(
        command == "delete"    ? "Deletes an entry; it is kept in the backup file."
        : command == "disable" ? "Switches an entry off without deleting it."
                               : "Switches an entry on again.");
    parser.addOptions({options.kind, options.name});
  } else if (command == "restore") {
    parser.setApplicationDescription(
        "Writes a record of the backup file back, as Reverse Startup Changes would after "
        "Yes, and takes it out of the file.");
    parser.addOption(options.list);
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
  const QStringList positional = parser.positionalArguments().mid(1);
  const qsizetype allowed = command == "check" || command == "restore" ? 1 : 0;
  if (positional.size() > allowed)
    return complain("unexpected argument \"" + raw.bytesOf(positional.last()) + "\"", exitUsage);

  std::string missing;
  std::optional<EntryKind> kind;
  std::optional<std::string> name;
  std::optional<std::string> entryCommand;
  std::optional<std::string> rule;
  if (command == "add" || changesEntry) {
    if (const auto word = required(parser, options.kind, raw, missing)) {
      kind = cli::kindOfWord(*word);
      if (!kind && missing.empty())
        missing = "unknown kind \"" + *word + "\"; use customized, user or machine";
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
  }
  if (!missing.empty())
    return complain(missing, exitUsage);

  // Only now the program's files are needed: help works on any installation.
  auto registry = makeNativeRegistry();
  auto shell = makeNativeShell();
  auto clock = makeNativeClock();
  auto location = makeNativeLocation();
  auto startup = makeNativeStartupState();
  cli::CommandLinePrompter prompter;
  const Platform platform{*registry, *shell, *clock, *location, prompter, prompter, *startup};
  try {
    LanguageTable texts(platform);
    // Scripts and support staff read the same words on every machine.
    texts.loadSection("[English]");
    cli::Context context{platform, texts, LW_STARTER_FILE};
    if (command == "list")
      return finish(cli::listEntries(context, parser.isSet(options.json)));
    if (command == "check")
      return finish(cli::checkEntries(
          context,
          positional.isEmpty() ? std::nullopt : std::optional(raw.bytesOf(positional.first()))));
    if (command == "add")
      return finish(cli::addEntry(context, *kind, *name, *entryCommand, rule));
    if (command == "delete")
      return finish(cli::deleteEntry(context, *kind, *name));
    if (changesEntry)
      return finish(cli::switchEntry(context, *kind, *name, command == "enable"));
    return finish(parser.isSet(options.list) ? cli::listBackup(context)
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

int runCommandLine(int argc, char *argv[]) {
  // A reader that goes away (| head) must not kill the program half-way through a change.
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
  return run(argc, argv);
}

} // namespace lw
