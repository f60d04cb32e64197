#pragma once
// The command line's operations on the same core as the window: what they print, what they
// refuse and what they change. No Qt here; CommandLine.cpp parses the arguments and calls in.
// Every operation may throw FileError (a data file that cannot be read or written); the
// caller reports it with exit status 1.

#include "entries/StartupList.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "platform/Prompter.h"
#include "storage/EntryStore.h"
#include "support/LanguageTable.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw::cli {

inline constexpr int exitSuccess = 0;
inline constexpr int exitFailure = 1; // a write failed, or a checked entry will not start
inline constexpr int exitUsage = 2;   // the request was refused before anything was written

struct Result {
  int status = exitSuccess;
  std::string out;   // for standard output
  std::string error; // one line for standard error, without its line end
};

// No one is there to answer, and the core asks nothing: a question that reached here anyway
// would be answered No, and a notice goes unseen.
class CommandLinePrompter : public Prompter, public FileChooser {
public:
  bool ask(const std::string &, const std::string &) override { return false; }
  void tell(const std::string &, const std::string &) override {}
  std::optional<std::string> chooseFile() override { return std::nullopt; }
};

struct Context {
  const Platform &platform;
  const LanguageTable &texts;
  std::string_view starterFile; // the companion starter's file name beside the program
};

// "customized", "user", "machine".
std::optional<EntryKind> kindOfWord(std::string_view word);
const char *wordOfKind(EntryKind kind);

// Every entry in the window's order with its verdict and, for customized entries, their timing
// as of `now`: the rows the window's list shows after a refresh. This is no run of the timer,
// so no entry counts as started in it and none has a failed start.
std::vector<StartupEntry> startupRows(Context &context, const LocalTime &now);

Result listEntries(Context &context, bool json);
Result checkEntries(Context &context, const std::optional<std::string> &name);
Result addEntry(Context &context, EntryKind kind, const std::string &name,
                const std::string &command, const std::optional<std::string> &rule);
Result deleteEntry(Context &context, EntryKind kind, const std::string &name);
Result switchEntry(Context &context, EntryKind kind, const std::string &name, bool enabled);
Result listBackup(Context &context);
Result restoreRecord(Context &context, long long number);

} // namespace lw::cli
