// The command line's arguments, help and output; its commands are the table in CommandTable. Only a
// QCoreApplication is built, for QCommandLineParser: no QApplication and no platform plugin, so it
// runs without a display.

#include "CommandLine.h"

#include "Arguments.h"
#include "CommandTable.h"
#include "Commands.h"
#include "Console.h"
#include "DidYouMean.h"

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

// Where every command's help sends the reader for the whole story: the Debian package ships the
// manual page, the Windows installer the help file beside the program.
#ifdef _WIN32
constexpr const char *seeManual = "See \"The command line\" in help.chm, beside the program, "
                                  "for the details.";
#else
constexpr const char *seeManual = "See \"man launchwright\" for the details.";
#endif

// The other ways to start that this system has, as --kind names them.
std::string logonKindWords() {
  std::string words;
  for (const auto &source : makeNativeLogonSources())
    words += std::string(words.empty() ? "" : ", ") + source->kind()->word;
  return words;
}

// The overview of --help; the commands' lines come from the table.
std::string overview() {
  return "Lists, checks and changes the programs started at logon without opening the window.\n"
         "\n"
         "Commands:\n" +
         cli::commandsOverview() +
         "\n"
         "Kinds: customized, user, machine; listed, and where their source allows switched:\n"
         "       " +
         logonKindWords() +
         ".\n"
         "Rules: daily, every-2-days, weekly, monthly, yearly, every:90m, every:3h, every:2d,\n"
         "       every:1w, weekday:tuesday, monthday:15.\n"
         "Exit status: 0 done; 1 a file could not be written or a checked entry will not start;\n"
         "             2 the request was refused and nothing was written.\n"
         "Run \"launchwright COMMAND --help\" for the options of one command.\n" +
         std::string(seeManual);
}

using console::writeAll;

// " Did you mean '--json'?" after a refused option, when one of the options this parser knows
// is near the first unknown one; nothing otherwise.
std::string optionHint(const QCommandLineParser &parser, const QStringList &known) {
  const QStringList unknown = parser.unknownOptionNames();
  if (unknown.isEmpty())
    return {};
  std::vector<std::string> names;
  for (const auto &name : known)
    names.push_back((name.size() == 1 ? "-" : "--") + name.toStdString());
  const QString &word = unknown.first();
  const auto nearest =
      cli::nearestWord((word.size() == 1 ? "-" : "--") + word.toStdString(), names);
  return nearest ? " Did you mean '" + *nearest + "'?" : std::string();
}

// The long names of these options, for optionHint.
QStringList longNames(const std::vector<QCommandLineOption> &options) {
  QStringList names;
  for (const auto &option : options)
    for (const auto &name : option.names())
      if (name.size() > 1)
        names << name;
  return names;
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

// Carries the command out on this system's registry, folders and sources.
int execute(const cli::Command &command, const cli::Request &request) {
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
  const auto applications = makeNativeApplications();
  platform.applications = applications.get();
  const auto impactMeter = makeNativeImpactMeter();
  platform.impactMeter = impactMeter.get();
  try {
    LanguageTable texts(platform);
    // Scripts and support staff read the same words on every machine.
    texts.loadSection("[English]");
    cli::Context context{platform, texts, LW_STARTER_FILE};
    return finish(command.run(context, request));
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
  top.setApplicationDescription(QString::fromStdString(overview()));
  top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
  const QCommandLineOption help = top.addHelpOption();
  const QCommandLineOption version = top.addVersionOption();
  top.addPositionalArgument("command", QString::fromStdString(cli::commandNames() + "."));
  if (const auto word = cli::qtStyleOptionIn(raw.list))
    return complain(cli::refusalOfSingleDash(*word), exitUsage);
  if (!top.parse(raw.list))
    return complain(top.errorText().toStdString() + optionHint(top, longNames({help, version})),
                    exitUsage);
  if (top.isSet(help) || top.isSet("help-all"))
    return finish({exitSuccess, top.helpText().toStdString(), {}});
  if (top.isSet(version))
    return finish({exitSuccess, std::string(programName) + " 1.03\n", {}});
  QStringList rest = top.positionalArguments();
  if (rest.isEmpty())
    return complain("no command given; see --help", exitUsage);

  const QString word = rest.takeFirst();
  const cli::Command *command = cli::commandNamed(word);
  if (!command) {
    std::vector<std::string> names;
    for (const auto &known : cli::commands())
      names.emplace_back(known.name);
    const auto nearest = cli::nearestWord(raw.bytesOf(word), names);
    return complain("unknown command \"" + raw.bytesOf(word) + "\"; see --help" +
                        (nearest ? ". Did you mean '" + *nearest + "'?" : ""),
                    exitUsage);
  }
  const cli::Options options;
  QCommandLineParser parser;
  const QCommandLineOption commandHelp = parser.addHelpOption();
  // Shown in the usage line of the command's help; taken off again below.
  parser.addPositionalArgument(word, "This command.", word);
  parser.setApplicationDescription(
      QString::fromStdString(std::string(command->help) + "\n" + seeManual));
  std::vector<QCommandLineOption> taken{commandHelp};
  for (const auto option : command->options) {
    parser.addOption(options.*option);
    taken.push_back(options.*option);
  }
  if (const auto &positional = command->positional)
    parser.addPositionalArgument(positional->name, positional->description, positional->syntax);
  rest.prepend(word);
  rest.prepend(QString::fromUtf8(programName));
  if (!parser.parse(rest))
    return complain(parser.errorText().toStdString() + optionHint(parser, longNames(taken)),
                    exitUsage);
  if (parser.isSet(commandHelp) || parser.isSet("help-all"))
    return finish({exitSuccess, parser.helpText().toStdString(), {}});
  // Every option once: a second one would be ignored, or its value would silently win.
  const QStringList given = parser.optionNames();
  for (qsizetype i = 0; i < given.size(); ++i)
    if (given.indexOf(given[i], i + 1) > i)
      return complain("the option --" + given[i].toStdString() + " is given more than once",
                      exitUsage);
  const QStringList positional = parser.positionalArguments().mid(1);
  if (positional.size() > (command->positional ? 1 : 0))
    return complain("unexpected argument \"" + raw.bytesOf(positional.last()) + "\"", exitUsage);
  cli::Request request;
  if (const std::string missing = command->read({parser, options, raw, positional}, request);
      !missing.empty())
    return complain(missing, exitUsage);
  return execute(*command, request);
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
