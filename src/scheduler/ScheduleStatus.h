#pragma once
// A customized entry in words, as the list's Status and the command line show it: its rule,
// its last start, its next start and a start that failed. Texts come from the language table.

#include "NextStart.h"
#include "platform/Shell.h"
#include "support/LanguageTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace lw {

// The text with each "%s" replaced by the next value, in order.
std::string fillIn(std::string_view text, const std::vector<std::string> &values);

// A date, or a date and time, in the language's own format.
std::string timeText(const LocalTime &time, bool withTime, const LanguageTable &texts);

// The entry dialog's label of the rule with its number, weekday or day filled in; empty for a
// rule code the dialog does not know.
std::string ruleInWords(std::string_view scheduleLine, const LanguageTable &texts);

std::string problemText(StartProblem problem, const LanguageTable &texts);

// "next start ...", "due now", or why it never starts.
std::string nextStartText(const NextStart &next, const LanguageTable &texts);

// A start that failed: when, and the fixed name of the problem (problemCode).
struct StartFailureView {
  LocalTime at;
  std::string_view reason;
};

// The rule, the last start, a failed start when there is one, and the next start (none for an
// entry that is switched off), joined with "; ".
std::string customizedStatusText(std::string_view scheduleLine, const NextStart *next,
                                 const StartFailureView *failure, const LanguageTable &texts);

} // namespace lw
