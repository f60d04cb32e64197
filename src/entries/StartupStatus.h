#pragma once
// What the Status column says about an entry: a short text and a sentence with the reason.
// Both front ends show these, so they are built here from the entry and the language table.

#include "entries/StartupList.h"

#include <array>
#include <deque>
#include <string>
#include <utility>

namespace lw {

struct EntryStatus {
  std::string text;   // the Status cell
  std::string reason; // a sentence: the cell's tooltip and accessible description
};

EntryStatus entryStatus(const StartupEntry &entry, const LanguageTable &texts);
// The language file's numbers of a verdict's Status label and reason sentence.
std::int32_t verdictLabelNumber(StartVerdict verdict);
std::int32_t verdictReasonNumber(StartVerdict verdict);

// The Status cell alone, without working out the sentence: what a listing of every row needs.
std::string statusText(const StartupEntry &entry, const LanguageTable &texts);

// The Status labels of the verdicts, looked up once for a listing of many rows.
class VerdictLabels {
public:
  explicit VerdictLabels(const LanguageTable &table);
  const std::string &of(StartVerdict verdict) const {
    return labels[static_cast<std::size_t>(verdict)];
  }
  // A logon source's reason as its Status cell names it after the verdict.
  const std::string &of(const LogonReason &reason) const;

private:
  const LanguageTable &texts;
  std::array<std::string, static_cast<std::size_t>(StartVerdict::ConditionUnknown) + 1> labels;
  // Each reason's cell, looked up when first named: a listing meets a handful. A deque keeps
  // the cells already handed out where they are.
  mutable std::deque<std::pair<const LogonReason *, std::string>> reasons;
};

// Sets `cell` to what statusText answers, reusing its room.
void statusTextInto(std::string &cell, const StartupEntry &entry, const VerdictLabels &labels);

// A customized entry's status, which Launchwright itself decides: whether it is switched off,
// its program is missing or its rule can never come due. The one place that says more about when
// such an entry starts: the cell its failed and next start, the sentence also its rule and last
// start.
EntryStatus customizedStatus(const StartupEntry &entry, const LanguageTable &texts);

} // namespace lw
