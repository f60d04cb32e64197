#pragma once
// The startup list with what the session will do with each entry, its status text and reason
// sentence, switching an entry off and on, and a customized entry's rule in words and its next
// start. The command line asks only here, so that it shows what the window shows.

#include "app/StartupList.h"
#include "platform/Platform.h"
#include "support/LanguageTable.h"

#include <optional>
#include <string>
#include <vector>

namespace lw::cli {

// Every entry in the window's order: customized, then the user's, then the machine's, each
// with its verdict; customized entries with their schedule line.
std::vector<StartupEntry> currentEntries(const Platform &platform);

// The fixed code of a verdict, for scripts: "starts", "disabled", "other-desktop", ...
const char *reasonCode(StartVerdict verdict);
// What the window's status column shows for the entry.
std::string statusText(const StartupEntry &entry, const LanguageTable &texts);
// Why the entry will or will not start, as one sentence.
std::string reasonSentence(const StartupEntry &entry, const LanguageTable &texts);

// Switches the entry off or on; false, changing nothing, when it cannot be done.
bool setEntryEnabled(const Platform &platform, EntryKind kind, const std::string &name,
                     bool enabled);

// The rule of a schedule line as the entry dialog names it, with its number or weekday.
std::string scheduleInWords(const std::string &scheduleLine, const LanguageTable &texts);
// The last start kept in a schedule line, as ISO 8601 local time; nothing when it is not a
// complete time stamp.
std::optional<std::string> lastStartOf(const std::string &scheduleLine);
// When the timer will next start the entry; nothing when that cannot be said.
std::optional<std::string> nextStartOf(const std::string &scheduleLine, const Platform &platform);

} // namespace lw::cli
