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

// The language texts a Status is made of, looked up once for as many entries as there are. A
// language table converts to it, for a single use.
class ScheduleTexts {
public:
  ScheduleTexts(const LanguageTable &table); // NOLINT: a table is what callers have
  // The text of a schedule label (490 to 540) or of 750 to 789; empty for any other number.
  const std::string &get(std::int32_t number) const;

private:
  std::vector<std::string> labels; // 490 to 540 in steps of 5
  std::vector<std::string> own;    // 750 to 789
  std::string none;
};

// The text with each "%s" replaced by the next value, in order.
std::string fillIn(std::string_view text, const std::vector<std::string> &values);

// A date, or a date and time, in the language's own format.
std::string timeText(const LocalTime &time, bool withTime, const ScheduleTexts &texts);

// The entry dialog's label of the rule with its number, weekday or day filled in; empty for a
// rule code the dialog does not know.
std::string ruleInWords(std::string_view scheduleLine, const ScheduleTexts &texts);

std::string problemText(StartProblem problem, const ScheduleTexts &texts);

// "next start ...", "due now", or why it never starts.
std::string nextStartText(const NextStart &next, const ScheduleTexts &texts);

// A start that failed: when, and the fixed name of the problem (problemCode).
struct StartFailureView {
  LocalTime at;
  std::string_view reason;
};

// The rule, the last start, a failed start when there is one, and the next start (none for an
// entry that is switched off), joined with "; ".
std::string customizedStatusText(std::string_view scheduleLine, const NextStart *next,
                                 const StartFailureView *failure, const ScheduleTexts &texts);
// What of that is about now and next, for a narrow place: the failed start and the next start,
// in the same words.
std::string customizedStatusBrief(const NextStart *next, const StartFailureView *failure,
                                  const ScheduleTexts &texts);

} // namespace lw
