#include "CommandTable.h"

#include "Console.h"

#include "native/Native.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace lw::cli {

namespace {

constexpr const char *unnamedDesktop =
    "XDG_CURRENT_DESKTOP is not set: the entries are judged for no desktop in particular (one "
    "with OnlyShowIn counts as for another desktop); --desktop NAME judges them for one";

// Where the overview's descriptions begin.
constexpr std::size_t overviewColumn = 33;

// The option, which must be given once.
std::optional<std::string> required(const Parsed &arguments, const QCommandLineOption &option,
                                    std::string &missing) {
  // Given more than once is refused before this is asked.
  if (!arguments.parser.isSet(option)) {
    if (missing.empty())
      missing = "the option --" + option.names().first().toStdString() + " is missing";
    return std::nullopt;
  }
  return arguments.raw.bytesOf(arguments.parser.value(option));
}

// --view of a machine entry: which of the machine's two Run keys it is in. Only Windows has
// them; elsewhere the option is not declared and the parser refuses it as unknown.
std::string readView([[maybe_unused]] const Parsed &arguments,
                     [[maybe_unused]] std::optional<EntryKind> kind,
                     [[maybe_unused]] std::optional<bool> &view32) {
#ifdef _WIN32
  if (!arguments.parser.isSet(arguments.options.view))
    return {};
  const std::string word = arguments.raw.bytesOf(arguments.parser.value(arguments.options.view));
  if (word != "32" && word != "64")
    return "--view takes 32 or 64, not \"" + word + "\"";
  if (kind != EntryKind::AllUsers)
    return "--view goes with --kind machine: only the machine's entries are in two views";
  view32 = word == "32";
#endif
  return {};
}

// --kind and --name of one entry; `logon` where the command also switches the other ways a
// program starts at logon.
std::string readEntry(const Parsed &arguments, Request &request, bool logon,
                      bool nameNeeded = true) {
  std::string missing;
  if (const auto word = required(arguments, arguments.options.kind, missing)) {
    const auto kinds = kindsOfWord(*word);
    request.kind = kinds ? kinds->entry : std::nullopt;
    if (kinds && kinds->logon && !logon)
      missing = "entries of kind " + *word +
                " are only listed and switched here; change them with the tool that owns them";
    else if (kinds && kinds->logon)
      request.logonKind = kinds->logon;
    else if (!request.kind)
      missing = "unknown kind \"" + *word + "\"; use " + kindWords;
  }
  if (nameNeeded || arguments.parser.isSet(arguments.options.name))
    request.name = required(arguments, arguments.options.name, missing);
  if (missing.empty())
    missing = readView(arguments, request.kind, request.view32);
  return missing;
}

std::string readNamedEntry(const Parsed &arguments, Request &request) {
  return readEntry(arguments, request, false);
}

// The entry as --kind and --name name it, or by its name alone, found as check finds it.
std::string readEntryOrName(const Parsed &arguments, Request &request, bool logon) {
  if (arguments.positional.isEmpty())
    return readEntry(arguments, request, logon);
  if (arguments.parser.isSet(arguments.options.kind) ||
      arguments.parser.isSet(arguments.options.name))
    return "give either the entry's name alone or --kind and --name";
  request.name = arguments.raw.bytesOf(arguments.positional.first());
  request.bareName = true;
  return readView(arguments, EntryKind::AllUsers, request.view32);
}

std::string readShownEntry(const Parsed &arguments, Request &request) {
  return readEntryOrName(arguments, request, false);
}

std::string readSwitchedEntry(const Parsed &arguments, Request &request) {
  return readEntryOrName(arguments, request, true);
}

// The kind of a name given alone, in the request; why it cannot be told, or nothing.
std::optional<Result> resolved(Context &context, Request &request, bool logon) {
  if (!request.bareName)
    return std::nullopt;
  const NamedKind named = kindOfName(context, *request.name);
  if (!named.kinds)
    return named.refusal;
  request.kind = named.kinds->entry;
  request.logonKind = named.kinds->logon;
  if (request.logonKind && !logon)
    return Result{exitUsage,
                  {},
                  "the entry \"" + *request.name + "\" is of kind " + *request.logonKind +
                      ", which is only listed and switched here; read it with the tool that "
                      "owns it"};
  return std::nullopt;
}

std::string readNewEntry(const Parsed &arguments, Request &request) {
  const auto &parser = arguments.parser;
  const bool fromApplication = parser.isSet(arguments.options.fromApplication);
  if (fromApplication)
    request.application = arguments.raw.bytesOf(parser.value(arguments.options.fromApplication));
  std::string missing = readEntry(arguments, request, false, !fromApplication);
  if (!fromApplication || parser.isSet(arguments.options.command))
    request.entryCommand = required(arguments, arguments.options.command, missing);
  if (arguments.parser.isSet(arguments.options.schedule))
    request.rule = required(arguments, arguments.options.schedule, missing);
  return missing;
}

// --kind, --desktop and the name of check.
std::string readListed(const Parsed &arguments, Request &request) {
  std::string missing;
  const auto &parser = arguments.parser;
  if (parser.isSet(arguments.options.listedKind)) {
    const std::string word = arguments.raw.bytesOf(parser.value(arguments.options.listedKind));
    if (const auto kinds = kindsOfWord(word))
      request.listed = *kinds;
    else
      missing = "unknown kind \"" + word + "\"; use " + kindWords;
  }
  if (parser.isSet(arguments.options.desktop)) {
    request.desktop = arguments.raw.bytesOf(parser.value(arguments.options.desktop));
    if (request.desktop->empty() && missing.empty())
      missing = "the desktop's name cannot be empty";
  }
  if (!arguments.positional.isEmpty())
    request.checked = arguments.raw.bytesOf(arguments.positional.first());
  if (missing.empty())
    missing = readView(arguments, request.listed.entry, request.listed.view32);
  return missing;
}

std::string readList(const Parsed &arguments, Request &request) {
  std::string missing = readListed(arguments, request);
  request.json = arguments.parser.isSet(arguments.options.json);
  request.noLegend = arguments.parser.isSet(arguments.options.noLegend);
  request.full = arguments.parser.isSet(arguments.options.full);
  return missing;
}

std::string readRestore(const Parsed &arguments, Request &request) {
  std::string missing;
  const auto &positional = arguments.positional;
  request.backupList = arguments.parser.isSet(arguments.options.list);
  if (request.backupList == !positional.isEmpty())
    missing = "give either --list or a record number";
  else if (!positional.isEmpty()) {
    bool number = false;
    request.record = positional.first().toLongLong(&number);
    if (!number)
      missing = "\"" + arguments.raw.bytesOf(positional.first()) + "\" is not a record number";
  }
  request.json = arguments.parser.isSet(arguments.options.json);
  if (missing.empty() && request.json && !request.backupList)
    missing = "--json goes with --list";
  return missing;
}

// Entries meant for some desktops only are judged for none: say so, once, before anything else
// the listing has to say.
Result judgedForNoDesktop(const Request &request, Result result) {
  if (!request.desktop && !sessionNamesItsDesktop() && result.status != exitUsage)
    result.notes.insert(result.notes.begin(), unnamedDesktop);
  return result;
}

Result runList(Context &context, const Request &request) {
  const ListForm form = request.json                                       ? ListForm::Json
                        : request.noLegend || !console::isTerminal(stdout) ? ListForm::Lines
                                                                           : ListForm::Table;
  TableWidth width;
  if (form == ListForm::Table && !request.full)
    width = {static_cast<std::size_t>(console::terminalColumns(stdout)), console::showsUtf8()};
  return judgedForNoDesktop(request, listEntries(context, form, request.listed, width));
}

Result runCheck(Context &context, const Request &request) {
  return judgedForNoDesktop(request, checkEntries(context, request.checked, request.listed));
}

Result runShow(Context &context, const Request &given) {
  Request request = given;
  if (auto refusal = resolved(context, request, false))
    return *refusal;
  return showEntry(context, *request.kind, *request.name, request.view32);
}

Result runAdd(Context &context, const Request &request) {
  return journaled(context, GuardScope::listEntries(), [&] {
    if (request.application)
      return addFromApplication(context, *request.kind, *request.application, request.name,
                                request.entryCommand, request.rule);
    return addEntry(context, *request.kind, *request.name, *request.entryCommand, request.rule);
  });
}

Result runDelete(Context &context, const Request &request) {
  return journaled(context, GuardScope::listEntries(), [&] {
    return deleteEntry(context, *request.kind, *request.name, request.view32);
  });
}

Result switched(Context &context, const Request &given, bool enabled) {
  Request request = given;
  if (auto refusal = resolved(context, request, true))
    return *refusal;
  if (request.logonKind)
    return journaled(context, GuardScope::logonKind(*request.logonKind), [&] {
      return switchLogonEntry(context, *request.logonKind, *request.name, enabled);
    });
  return journaled(context, GuardScope::listEntries(), [&] {
    return switchEntry(context, *request.kind, *request.name, enabled, request.view32);
  });
}

Result runDisable(Context &context, const Request &request) {
  return switched(context, request, false);
}

Result runEnable(Context &context, const Request &request) {
  return switched(context, request, true);
}

Result runRestore(Context &context, const Request &request) {
  if (request.backupList)
    return listBackup(context, request.json);
  // A record may be of any kind, the other ways to start included.
  return journaled(context, GuardScope::everything(),
                   [&] { return restoreRecord(context, request.record); });
}

// --since: a date (from its local midnight) or a date and time, as ISO 8601 writes them; kept
// in UTC as the journal writes its times.
std::string readChanges(const Parsed &arguments, Request &request) {
  const auto &parser = arguments.parser;
  request.json = parser.isSet(arguments.options.json);
  if (parser.isSet(arguments.options.since)) {
    const QString given = parser.value(arguments.options.since);
    QDateTime since = QDateTime::fromString(given, Qt::ISODate);
    if (!since.isValid())
      since = QDate::fromString(given, Qt::ISODate).startOfDay();
    if (!since.isValid())
      return "--since takes a date or a date and time as ISO 8601 writes them (2026-12-09 or "
             "2026-12-09T14:30), not \"" +
             arguments.raw.bytesOf(given) + "\"";
    request.since = since.toUTC().toString(Qt::ISODate).toStdString();
  }
  if (parser.isSet(arguments.options.listedKind)) {
    const std::string word = arguments.raw.bytesOf(parser.value(arguments.options.listedKind));
    if (!kindsOfWord(word))
      return "unknown kind \"" + word + "\"; use " + kindWords;
    request.changedKind = word;
  }
  return {};
}

Result runChanges(Context &context, const Request &request) {
  const ListForm form = request.json                   ? ListForm::Json
                        : !console::isTerminal(stdout) ? ListForm::Lines
                                                       : ListForm::Table;
  return listChanges(context, form, {request.since, request.changedKind});
}

std::string readImpact(const Parsed &arguments, Request &request) {
  const auto &parser = arguments.parser;
  request.json = parser.isSet(arguments.options.json);
  request.logons = parser.isSet(arguments.options.logons);
  request.recordImpact = parser.isSet(arguments.options.record);
  if (parser.isSet(arguments.options.seconds)) {
    bool number = false;
    request.seconds = parser.value(arguments.options.seconds).toLongLong(&number);
    if (!number || *request.seconds < 0)
      return "--seconds takes a number of seconds";
  }
  if (request.logons && !request.json)
    return "--logons goes with --json";
  if (request.seconds && !request.recordImpact)
    return "--seconds goes with --record";
  if (request.recordImpact && (request.json || request.logons))
    return "--record goes alone";
  return {};
}

Result runImpact(Context &context, const Request &request) {
  return request.recordImpact ? recordImpact(context, request.seconds)
                              : showImpact(context, request.json, request.logons);
}

using O = Options;

// An entry's name alone, where no other kind has an entry of that name.
constexpr Positional bareName{"name",
                              "The entry's name alone, as check takes it, when only one kind has "
                              "an entry of that name.",
                              "[NAME]"};

// The options of a command that takes --kind machine, with --view where the machine's Run key
// has two views.
std::vector<QCommandLineOption Options::*>
withView(std::vector<QCommandLineOption Options::*> list) {
#ifdef _WIN32
  list.push_back(&O::view);
#endif
  return list;
}

} // namespace

const std::vector<Command> &commands() {
  static const std::vector<Command> table = {
      {"list",
       {{"list [--json] [--no-legend] [--full] [--desktop NAME] [--kind K]",
         "every entry, as the window lists them, and every\n"
         "other way a program starts at logon"}},
       "Every startup entry, in the window's order: aligned under a header on a terminal and "
       "cut to its width, tab-separated otherwise.",
       {&O::json, &O::noLegend, &O::full, &O::desktop, &O::listedKind},
       std::nullopt,
       readList,
       runList},
      {"check",
       {{"check [--desktop NAME] [--kind K] [NAME]",
         "why each entry (or each entry NAME) will or will not start"}},
       "Why each entry will or will not start. Exit status 0 when every entry checked will "
       "start, 1 otherwise.",
       withView({&O::desktop, &O::listedKind}),
       Positional{"name", "Only the entries of this name.", "[NAME]"},
       readListed,
       runCheck},
      {"show",
       {{"show --kind K --name N | NAME", "an entry's autostart file, or its rule in words"}},
       "Prints an entry's autostart file as it is, or a customized entry's name, command and "
       "start rule.",
       withView({&O::kind, &O::name}),
       bareName,
       readShownEntry,
       runShow},
      {"add",
       {{"add --kind K --name N --command C [--schedule RULE]", "add an entry"},
        {"add --kind K --from-application ID", "add a copy of an installed application"}},
       "Adds a startup entry.",
       {&O::kind, &O::name, &O::command, &O::fromApplication, &O::schedule},
       std::nullopt,
       readNewEntry,
       runAdd},
      {"delete",
       {{"delete --kind K --name N", "delete an entry; it is kept in the backup file"}},
       "Deletes an entry; it is kept in the backup file.",
       withView({&O::kind, &O::name}),
       std::nullopt,
       readNamedEntry,
       runDelete},
      {"disable",
       {{"disable --kind K --name N | NAME", "switch an entry off without deleting it"}},
       "Switches an entry off without deleting it.",
       withView({&O::kind, &O::name}),
       bareName,
       readSwitchedEntry,
       runDisable},
      {"enable",
       {{"enable --kind K --name N | NAME", "switch it on again"}},
       "Switches an entry on again.",
       withView({&O::kind, &O::name}),
       bareName,
       readSwitchedEntry,
       runEnable},
      {"restore",
       {{"restore --list [--json]", "the records of the backup file, numbered"},
        {"restore N", "write record N back and take it out of the file"}},
       "Writes a record of the backup file back, as Reverse Startup Changes would after Yes, "
       "and takes it out of the file.",
       {&O::list, &O::json},
       Positional{"number", "The record's number in restore --list.", "[N]"},
       readRestore,
       runRestore},
      {"changes",
       {{"changes [--json] [--since DATE] [--kind K]",
         "what changed in what starts at logon, by whom"}},
       "The change journal: every entry added, removed, changed or switched, oldest first, "
       "with who did it (window, command-line, timer or other, for another program).",
       {&O::json, &O::since, &O::listedKind},
       std::nullopt,
       readChanges,
       runChanges},
      {"impact",
       {{"impact [--json [--logons]]", "what each entry cost at the last logon, heaviest first"},
        {"impact --record [--seconds N]", "record this logon's costs now"}},
       "What each entry cost at the last logon: CPU time and disk I/O in its first minute, and "
       "how long after the session's start it began.",
       {&O::json, &O::logons, &O::record, &O::seconds},
       std::nullopt,
       readImpact,
       runImpact},
  };
  return table;
}

const Command *commandNamed(const QString &name) {
  const auto &table = commands();
  const auto found = std::ranges::find_if(
      table, [&name](const Command &command) { return name == QLatin1String(command.name); });
  return found != table.end() ? &*found : nullptr;
}

std::string commandsOverview() {
  const std::string indent(overviewColumn, ' ');
  std::string lines;
  for (const auto &command : commands())
    for (const auto &[usage, what] : command.synopsis) {
      const std::size_t width = 2 + std::strlen(usage);
      lines += "  " + std::string(usage);
      if (width < overviewColumn)
        lines.append(overviewColumn - width, ' ');
      else
        lines += "\n" + indent;
      for (const char *c = what; *c != '\0'; ++c)
        lines += *c == '\n' ? "\n" + indent : std::string(1, *c);
      lines += '\n';
    }
  return lines;
}

std::string commandNames() {
  const auto &table = commands();
  std::string names;
  for (std::size_t i = 0; i < table.size(); ++i)
    names += std::string(i == 0 ? "" : i + 1 == table.size() ? " or " : ", ") + table[i].name;
  return names;
}

} // namespace lw::cli
