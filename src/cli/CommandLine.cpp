// The command line's arguments, help and output. Only a QCoreApplication is built, for
// QCommandLineParser: no QApplication and no platform plugin, so it runs without a display.

#include "CommandLine.h"

#include "Arguments.h"
#include "Commands.h"
#include "Console.h"

#include "native/Native.h"
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

bool interactiveOutput() { return console::isTerminal(stdout); }

// The option, which must be given once.
std::optional<std::string> required(const QCommandLineParser &parser,
                                    const QCommandLineOption &option, const cli::RawArguments &raw,
                                    std::string &missing) {
  // Given more than once is refused before this is asked.
  if (!parser.isSet(option)) {
    if (missing.empty())
      missing = "the option --" + option.names().first().toStdString() + " is missing";
    return std::nullopt;
  }
  return raw.bytesOf(parser.value(option));
}

// What a command asked for, read from its arguments and checked; nothing of the program's files
// is needed for this, so that help and refusals work on any installation.
struct Request {
  QString command;
  std::optional<EntryKind> kind;
  std::optional<std::string> logonKind; // disable and enable of another way to start
  cli::Kinds listed;
  std::optional<std::string> name;
  std::optional<std::string> entryCommand;
  std::optional<std::string> rule;
  std::optional<std::string> desktop;
  std::optional<std::string> checked; // check NAME
  long long record = 0;               // restore N
  bool json = false;
  bool noLegend = false;
  bool backupList = false; // restore --list

  bool changesEntry() const {
    return command == "delete" || command == "disable" || command == "enable";
  }
  bool namesEntry() const { return changesEntry() || command == "show"; }
  bool lists() const { return command == "list" || command == "check"; }
};

// The command's own options and help; false for a command there is not.
bool describeCommand(QCommandLineParser &parser, const Options &options, const Request &request) {
  const QString &command = request.command;
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
  } else if (request.namesEntry()) {
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
    return false;
  }
  return true;
}

// Fills the request from the parsed options; what is missing or wrong, or nothing.
std::string readRequest(const QCommandLineParser &parser, const Options &options,
                        const cli::RawArguments &raw, const QStringList &positional,
                        Request &request) {
  std::string missing;
  const QString &command = request.command;
  if (command == "add" || request.namesEntry()) {
    if (const auto word = required(parser, options.kind, raw, missing)) {
      const auto kinds = cli::kindsOfWord(*word);
      request.kind = kinds ? kinds->entry : std::nullopt;
      if (kinds && kinds->logon && command != "disable" && command != "enable" && missing.empty())
        missing = "entries of kind " + *word +
                  " are only listed and switched here; change them with the tool that owns them";
      else if (kinds && kinds->logon)
        request.logonKind = kinds->logon;
      else if (!request.kind && missing.empty())
        missing = "unknown kind \"" + *word + "\"; use " + cli::kindWords;
    }
    request.name = required(parser, options.name, raw, missing);
    if (command == "add") {
      request.entryCommand = required(parser, options.command, raw, missing);
      if (parser.isSet(options.schedule))
        request.rule = required(parser, options.schedule, raw, missing);
    }
  }
  if (command == "restore") {
    request.backupList = parser.isSet(options.list);
    if (request.backupList == !positional.isEmpty())
      missing = "give either --list or a record number";
    else if (!positional.isEmpty()) {
      bool number = false;
      request.record = positional.first().toLongLong(&number);
      if (!number)
        missing = "\"" + raw.bytesOf(positional.first()) + "\" is not a record number";
    }
    if (missing.empty() && parser.isSet(options.json) && !request.backupList)
      missing = "--json goes with --list";
  }
  if (request.lists()) {
    if (parser.isSet(options.listedKind)) {
      const std::string word = raw.bytesOf(parser.value(options.listedKind));
      if (const auto kinds = cli::kindsOfWord(word))
        request.listed = *kinds;
      else
        missing = "unknown kind \"" + word + "\"; use " + cli::kindWords;
    }
    if (parser.isSet(options.desktop)) {
      request.desktop = raw.bytesOf(parser.value(options.desktop));
      if (request.desktop->empty() && missing.empty())
        missing = "the desktop's name cannot be empty";
    }
    if (!positional.isEmpty())
      request.checked = raw.bytesOf(positional.first());
  }
  // Asked only of the commands that have them: Qt warns of an option not defined.
  request.json = (command == "list" || command == "restore") && parser.isSet(options.json);
  request.noLegend = command == "list" && parser.isSet(options.noLegend);
  return missing;
}

// Carries the request out on this system's registry, folders and sources.
int execute(const Request &request) {
  auto registry = makeNativeRegistry();
  auto shell = makeNativeShell();
  auto clock = makeNativeClock();
  auto location = makeNativeLocation();
  auto startup = makeNativeStartupState(request.desktop);
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
    const QString &command = request.command;
    if (request.lists()) {
      const cli::ListForm form = request.json                               ? cli::ListForm::Json
                                 : request.noLegend || !interactiveOutput() ? cli::ListForm::Lines
                                                                            : cli::ListForm::Table;
      const cli::Result result = command == "list"
                                     ? cli::listEntries(context, form, request.listed)
                                     : cli::checkEntries(context, request.checked, request.listed);
      // Entries meant for some desktops only are judged for none: say so, once.
      if (!request.desktop && !sessionNamesItsDesktop() && result.status != exitUsage)
        writeAll(stderr, std::string(programName) + ": " + unnamedDesktop + "\n");
      return finish(result);
    }
    if (command == "show")
      return finish(cli::showEntry(context, *request.kind, *request.name));
    if (command == "add")
      return finish(cli::addEntry(context, *request.kind, *request.name, *request.entryCommand,
                                  request.rule));
    if (command == "delete")
      return finish(cli::deleteEntry(context, *request.kind, *request.name));
    if (request.changesEntry() && request.logonKind)
      return finish(
          cli::switchLogonEntry(context, *request.logonKind, *request.name, command == "enable"));
    if (request.changesEntry())
      return finish(cli::switchEntry(context, *request.kind, *request.name, command == "enable"));
    return finish(request.backupList ? cli::listBackup(context, request.json)
                                     : cli::restoreRecord(context, request.record));
  } catch (const FileError &error) {
    return complain(error.what(), exitFailure);
  } catch (const std::bad_alloc &) {
    // A data file too large to be read is refused before this; should memory run out anyway,
    // the command ends here as it does on a FileError.
    return complain("not enough memory for this command; it was stopped", exitFailure);
  }
}

int run(int argc, char *argv[]) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(programName);
  QCoreApplication::setApplicationVersion(QStringLiteral("1.03"));
  const cli::RawArguments raw(argc, argv);

  QCommandLineParser top;
  top.setApplicationDescription(overview);
  top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  const QCommandLineOption help = top.addHelpOption();
  const QCommandLineOption version = top.addVersionOption();
  top.addPositionalArgument("command",
                            "list, check, show, add, delete, disable, enable or restore.");
  if (const auto word = cli::qtStyleOptionIn(raw.list))
    return complain(cli::refusalOfSingleDash(*word), exitUsage);
  if (!top.parse(raw.list))
    return complain(top.errorText().toStdString(), exitUsage);
  if (top.isSet(help) || top.isSet("help-all"))
    return finish({exitSuccess, top.helpText().toStdString(), {}});
  if (top.isSet(version))
    return finish({exitSuccess, std::string(programName) + " 1.03\n", {}});
  QStringList rest = top.positionalArguments();
  if (rest.isEmpty())
    return complain("no command given; see --help", exitUsage);

  Request request;
  request.command = rest.takeFirst();
  const Options options;
  QCommandLineParser parser;
  const QCommandLineOption commandHelp = parser.addHelpOption();
  // Shown in the usage line of the command's help; taken off again below.
  parser.addPositionalArgument(request.command, "This command.", request.command);
  if (!describeCommand(parser, options, request))
    return complain("unknown command \"" + raw.bytesOf(request.command) + "\"; see --help",
                    exitUsage);
  rest.prepend(request.command);
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
  const qsizetype allowed = request.command == "check" || request.command == "restore" ? 1 : 0;
  if (positional.size() > allowed)
    return complain("unexpected argument \"" + raw.bytesOf(positional.last()) + "\"", exitUsage);
  if (const std::string missing = readRequest(parser, options, raw, positional, request);
      !missing.empty())
    return complain(missing, exitUsage);
  return execute(request);
}

} // namespace

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
