#pragma once
// The command line's commands, each written once: its name, its help, its options and what
// carries it out. The overview of --help, each command's own help, the check of its arguments
// and the dispatch all read this table.

#include "Arguments.h"
#include "Commands.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lw::cli {

// Every option of every command; a command names the ones it takes.
struct Options {
  QCommandLineOption kind{"kind", "customized, user or machine.", "kind"};
  QCommandLineOption listedKind{"kind", "Only the entries of this kind (see --help).", "kind"};
  QCommandLineOption name{"name", "The entry's name, exactly.", "name"};
  QCommandLineOption command{"command", "The command line it starts.", "command"};
  QCommandLineOption fromApplication{
      "from-application",
      "User and machine entries: a copy of this installed application's own entry (its desktop "
      "file ID); --name and --command default to its own.",
      "id"};
  QCommandLineOption schedule{"schedule", "Customized entries: the start rule (default daily).",
                              "rule"};
  QCommandLineOption json{"json", "One JSON array; its keys are in \"man launchwright\"."};
  QCommandLineOption noLegend{"no-legend",
                              "Tab-separated lines without a header, also on a terminal."};
  QCommandLineOption full{"full", "On a terminal, every cell whole, however wide the lines get."};
  QCommandLineOption desktop{
      "desktop", "Judge the entries for this desktop, as if XDG_CURRENT_DESKTOP were NAME.",
      "name"};
  QCommandLineOption list{"list", "List the backup records, numbered."};
  QCommandLineOption since{"since", "Only the changes seen from this date (or date and time) on.",
                           "date"};
  QCommandLineOption record{"record", "Record what each entry costs at this logon, now."};
  QCommandLineOption seconds{
      "seconds", "With --record: measure until N seconds after the session's start (60).", "N"};
  QCommandLineOption logons{"logons", "With --json: every recorded logon, oldest first."};
  // Windows only: the machine's Run key has a 64-bit and a 32-bit view.
  QCommandLineOption view{"view", "Machine entries: 64 or 32, the Run key's view they are in.",
                          "view"};
};

// What a command asked for, read from its arguments and checked; nothing of the program's files
// is needed for this, so that help and refusals work on any installation.
struct Request {
  std::optional<EntryKind> kind;
  std::optional<bool> view32;           // --view 32 or 64 of a machine entry (Windows)
  std::optional<std::string> logonKind; // disable and enable of another way to start
  Kinds listed;
  std::optional<std::string> name;
  bool bareName = false; // the name given alone: its kind is found as check finds it
  std::optional<std::string> entryCommand;
  std::optional<std::string> rule;
  std::optional<std::string> application; // add --from-application
  std::optional<std::string> desktop;
  std::optional<std::string> checked; // check NAME
  long long record = 0;               // restore N
  bool json = false;
  bool noLegend = false;
  bool full = false;                      // list: not cut to the terminal's width
  bool backupList = false;                // restore --list
  std::optional<std::string> since;       // changes --since, in UTC as the journal writes it
  std::optional<std::string> changedKind; // changes --kind
  bool recordImpact = false;              // impact --record
  bool logons = false;                    // impact --json --logons
  std::optional<long long> seconds;
};

// A command's arguments as parsed: its options and the positional arguments after its name.
struct Parsed {
  const QCommandLineParser &parser;
  const Options &options;
  const RawArguments &raw;
  const QStringList &positional;
};

// The one positional argument a command may take.
struct Positional {
  const char *name;
  const char *description;
  const char *syntax;
};

struct Command {
  const char *name;
  // The command's lines in the overview of --help: how it is written, and what it does (a line
  // break goes on under the same column).
  std::vector<std::pair<const char *, const char *>> synopsis;
  // The first line of "COMMAND --help".
  const char *help;
  std::vector<QCommandLineOption Options::*> options;
  std::optional<Positional> positional;
  // Fills the request from the arguments; what is missing or wrong, or nothing.
  std::string (*read)(const Parsed &arguments, Request &request);
  // Carries the request out on the core; may throw FileError.
  Result (*run)(Context &context, const Request &request);
};

const std::vector<Command> &commands();
// The command of this name, or nothing.
const Command *commandNamed(const QString &name);
// The overview's lines for every command, each line ended.
std::string commandsOverview();
// "list, check, ... or restore".
std::string commandNames();

} // namespace lw::cli
