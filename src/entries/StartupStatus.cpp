#include "entries/StartupStatus.h"

#include "entries/LogonRows.h"
#include "support/TextNumbers.h"

namespace lw {

namespace {

std::int32_t verdictIndex(StartVerdict verdict) { return static_cast<std::int32_t>(verdict); }

// Characters one by one, a control character by its code, which would not show.
std::string characterList(const std::string &characters) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string listed;
  for (const char c : characters) {
    if (!listed.empty())
      listed += ' ';
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F)
      listed += std::string("U+00") + hex[byte >> 4] + hex[byte & 15];
    else
      listed += c;
  }
  return listed;
}

// The desktop names come ';'-separated, as the desktop entry file writes them.
std::string readableDetail(const StartupEntry &entry) {
  if (entry.starterPathRefused)
    return characterList(entry.detail);
  std::string detail = entry.detail;
  while (!detail.empty() && detail.back() == ';')
    detail.pop_back();
  if (entry.verdict != StartVerdict::OtherDesktop)
    return detail;
  std::string listed;
  for (const char c : detail)
    if (c == ';')
      listed += ", ";
    else
      listed += c;
  return listed;
}

// The detail ends the sentence; a switch key (Hidden=true and the like) is only an aside.
std::string sentence(std::string text, const std::string &detail, bool aside = false) {
  if (!detail.empty()) {
    text += aside ? " (" : ": ";
    text += detail;
    if (aside)
      text += ')';
  }
  text += '.';
  return text;
}

// A customized entry's cell says what is about now and next after its label.
void appendTimingBrief(std::string &cell, const StartupEntry &entry) {
  if (entry.verdict != StartVerdict::Disabled && !entry.timingBrief.empty()) {
    cell += " \xE2\x80\x93 ";
    cell += entry.timingBrief;
  }
}

} // namespace

// The labels follow the verdicts' order up to NeverDue; later verdicts have numbers of their own.
std::int32_t verdictLabelNumber(StartVerdict verdict) {
  switch (verdict) {
  case StartVerdict::ConditionFails:
    return text::conditionFailsLabel;
  case StartVerdict::ConditionUnknown:
    return text::conditionUnknownLabel;
  default:
    return text::firstVerdictLabel + verdictIndex(verdict);
  }
}

// The reason sentences follow the verdicts' order up to Unreadable; NeverDue's comes after the
// two sentences of customized entries (it names no detail: why the rule is never due ends the
// timing that follows it), and the later verdicts' have numbers of their own.
std::int32_t verdictReasonNumber(StartVerdict verdict) {
  switch (verdict) {
  case StartVerdict::NeverDue:
    return text::neverDueReason;
  case StartVerdict::ConditionFails:
    return text::conditionFailsReason;
  case StartVerdict::ConditionUnknown:
    return text::conditionUnknownReason;
  default:
    return text::firstVerdictReason + verdictIndex(verdict);
  }
}

VerdictLabels::VerdictLabels(const LanguageTable &table) : texts(table) {
  for (std::size_t verdict = 0; verdict < labels.size(); ++verdict)
    labels[verdict] = texts.getText(verdictLabelNumber(static_cast<StartVerdict>(verdict)));
}

const std::string &VerdictLabels::of(const LogonReason &reason) const {
  for (const auto &[known, cell] : reasons)
    if (known == &reason)
      return cell;
  return reasons.emplace_back(&reason, logonText(reason.cell, texts)).second;
}

void statusTextInto(std::string &cell, const StartupEntry &entry, const VerdictLabels &labels) {
  cell = labels.of(entry.verdict);
  if (entry.logon && !entry.logon->condition.empty()) {
    cell += " \xE2\x80\x93 ";
    cell += entry.logon->condition;
  } else if (entry.logon && entry.logon->reason) {
    cell += " \xE2\x80\x93 ";
    cell += labels.of(*entry.logon->reason);
  } else if (entry.kind == EntryKind::Customized && !entry.logon) {
    appendTimingBrief(cell, entry);
  }
}

EntryStatus customizedStatus(const StartupEntry &entry, const LanguageTable &texts) {
  EntryStatus status;
  status.text = texts.getText(verdictLabelNumber(entry.verdict));
  switch (entry.verdict) {
  case StartVerdict::Starts:
    status.reason = sentence(texts.getText(text::customizedStartsReason), {});
    break;
  case StartVerdict::Disabled:
    status.reason = sentence(texts.getText(text::customizedDisabledReason), {});
    break;
  case StartVerdict::Unreadable: // its switch; the entry itself was read
    status.reason = sentence(texts.getText(text::customizedSwitchUnreadable), entry.detail);
    break;
  default:
    status.reason =
        sentence(texts.getText(verdictReasonNumber(entry.verdict)), readableDetail(entry));
    break;
  }
  // The timings say when the entry last started and starts next, or why its last start failed:
  // the sentence says it all, the cell what is about now and next.
  appendTimingBrief(status.text, entry);
  if (entry.verdict != StartVerdict::Disabled && !entry.timing.empty()) {
    status.reason += ' ';
    status.reason += entry.timing;
  }
  return status;
}

EntryStatus entryStatus(const StartupEntry &entry, const LanguageTable &texts) {
  if (entry.logon)
    return logonStatus(*entry.logon, texts);
  if (entry.kind == EntryKind::Customized)
    return customizedStatus(entry, texts);
  const std::int32_t reason =
      entry.starterPathRefused ? text::starterPathRefused : verdictReasonNumber(entry.verdict);
  EntryStatus status{texts.getText(verdictLabelNumber(entry.verdict)),
                     sentence(texts.getText(reason), readableDetail(entry),
                              entry.verdict == StartVerdict::Disabled)};
  // Beside a 64-bit entry of the same name, the two rows would look the same but for this.
  if (entry.view32)
    status.reason += ' ' + texts.getText(text::view32Reason);
  return status;
}

std::string statusText(const StartupEntry &entry, const LanguageTable &texts) {
  if (entry.logon)
    return logonStatus(*entry.logon, texts).text;
  std::string cell = texts.getText(verdictLabelNumber(entry.verdict));
  if (entry.kind == EntryKind::Customized)
    appendTimingBrief(cell, entry);
  return cell;
}

} // namespace lw
