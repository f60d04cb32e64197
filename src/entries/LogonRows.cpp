#include "entries/LogonRows.h"

#include "entries/StartupStatus.h"
#include "scheduler/ScheduleStatus.h"
#include "storage/EntryStore.h"
#include "storage/Reversal.h"
#include "support/FileError.h"
#include "support/TextNumbers.h"

#include <algorithm>
#include <exception>
#include <optional>

namespace lw {

namespace {

LogonSource *sourceOf(const std::vector<LogonSource *> &sources, LogonSourceKind kind) {
  for (auto *source : sources)
    if (source->kind() == kind)
      return source;
  return nullptr;
}

// A source's own words are the German ones where the section names German as its language.
bool german(const LanguageTable &texts) { return texts.getText(text::languageCode) == "de"; }

} // namespace

std::vector<LogonAnswer> askLogonSources(const std::vector<LogonSource *> &sources,
                                         const std::optional<std::string> &only) {
  std::vector<LogonAnswer> answers;
  for (auto *source : sources) {
    if (only && *only != source->kind()->word)
      continue;
    // A source that breaks (a folder that cannot be read half-way) is one that cannot be asked.
    // Thrown on the window's thread, its exception would end the program.
    LogonSourceListing listing;
    try {
      listing = source->list();
    } catch (const std::exception &error) {
      listing.unavailable = error.what();
    }
    answers.push_back({source->kind(), std::move(listing)});
  }
  return answers;
}

LogonListing logonRowsOf(std::vector<LogonAnswer> answers, const LanguageTable &texts,
                         bool systemComponents) {
  LogonListing listing;
  for (auto &[kind, items] : answers) {
    auto counted = std::find_if(listing.counts.begin(), listing.counts.end(),
                                [kind](const auto &pair) { return pair.first == kind; });
    if (counted == listing.counts.end())
      counted = listing.counts.insert(counted, {kind, 0});
    std::size_t &count = counted->second;
    if (items.unavailable) {
      const auto sentence = items.refused ? text::logonSourceRefused : text::logonSourceUnavailable;
      listing.unavailable.push_back(
          fillIn(texts.getText(sentence), {logonKindLabel(kind, texts), *items.unavailable}));
      listing.unavailableKinds.push_back(kind);
      if (items.refused)
        listing.refusals.push_back(listing.unavailable.back());
      continue;
    }
    for (auto &item : items.items) {
      if (item.systemComponent && !systemComponents)
        continue;
      StartupEntry row;
      row.name = item.name;
      row.command = item.command;
      row.file = item.file;
      row.verdict = item.verdict;
      row.detail = item.detail;
      item.source = kind;
      row.logon = std::move(item);
      listing.rows.push_back(std::move(row));
      ++count;
    }
  }
  return listing;
}

LogonListing readLogonRows(const std::vector<LogonSource *> &sources, const LanguageTable &texts,
                           const LogonFilter &filter) {
  return logonRowsOf(askLogonSources(sources, filter.only), texts, filter.systemComponents);
}

void appendLogonCounts(std::string &statusText, const LogonListing &listing,
                       const LanguageTable &texts) {
  for (const auto &[kind, count] : listing.counts) {
    if (!statusText.empty())
      statusText += '\n';
    statusText += logonText(kind->count, texts);
    statusText += ' ';
    const bool asked = std::find(listing.unavailableKinds.begin(), listing.unavailableKinds.end(),
                                 kind) == listing.unavailableKinds.end();
    statusText += asked ? std::to_string(count) : "\xE2\x80\x93";
  }
}

std::string logonText(const LogonText &text, const LanguageTable &texts) {
  if (text.number != 0)
    return texts.getText(text.number);
  return german(texts) ? text.german : text.english;
}

std::string logonKindLabel(LogonSourceKind kind, const LanguageTable &texts) {
  return logonText(kind->label, texts);
}

std::string recordKindLabel(const std::string &kindLine, const std::vector<LogonSource *> &sources,
                            const LanguageTable &texts) {
  for (const LogonSource *source : sources)
    if (source && kindLine == source->kind()->word)
      return logonKindLabel(source->kind(), texts);
  return backupKindLabel(kindLine, texts);
}

EntryStatus logonStatus(const LogonItem &item, const LanguageTable &texts) {
  EntryStatus status;
  status.text = texts.getText(verdictLabelNumber(item.verdict));
  // The source's sentence says how the item starts; when the program it would start is missing
  // or cannot be read, or a condition keeps it from starting, that is what the user must hear.
  const bool conditional = item.verdict == StartVerdict::ConditionFails ||
                           item.verdict == StartVerdict::ConditionUnknown;
  const bool programFault = item.verdict == StartVerdict::ProgramMissing ||
                            item.verdict == StartVerdict::NotAProgram ||
                            item.verdict == StartVerdict::Unreadable || conditional;
  if (conditional) {
    status.text += " \xE2\x80\x93 ";
    status.text += item.condition;
  } else if (item.reason) {
    status.text += " \xE2\x80\x93 ";
    status.text += logonText(item.reason->cell, texts);
  }
  bool detailSaid = false;
  if (item.reason && !programFault) {
    status.reason = logonText(item.reason->sentence, texts);
    detailSaid = status.reason.find("%s") != std::string::npos;
    if (detailSaid)
      status.reason = fillIn(status.reason, {item.detail});
  } else if (conditional) {
    status.reason = fillIn(texts.getText(verdictReasonNumber(item.verdict)), {item.condition});
  } else {
    status.reason = texts.getText(verdictReasonNumber(item.verdict));
  }
  // What the source's own tool says and what the row is, as asides.
  std::vector<std::string> asides;
  if (!item.detail.empty() && !detailSaid)
    asides.push_back(item.detail);
  if (item.activation.number || *item.activation.english)
    asides.push_back(fillIn(logonText(item.activation, texts), item.activationWords));
  if (!item.state.empty())
    asides.push_back(fillIn(texts.getText(text::logonToolState), {item.state}));
  if (item.systemComponent)
    asides.push_back(texts.getText(text::logonSystemComponent));
  for (std::size_t i = 0; i < asides.size(); ++i) {
    status.reason += i == 0 ? " (" : "; ";
    status.reason += asides[i];
  }
  if (!asides.empty())
    status.reason += ')';
  status.reason += '.';
  return status;
}

LogonSwitchResult switchLogonItem(const Platform &platform, const LanguageTable &texts,
                                  const LogonItem &item, bool enabled) {
  LogonSource *source = sourceOf(platform.logonSources, item.source);
  if (!source || item.switchBy == LogonSwitch::None)
    return {LogonOutcome::NotSupported, {}};
  const LogonSwitchPlan plan = source->planSwitch(item, enabled);
  if (plan.refusal) {
    std::string why = logonText(*plan.refusal, texts);
    if (!plan.refusalDetail.empty())
      why += ": " + plan.refusalDetail;
    return {LogonOutcome::Refused, why};
  }
  std::optional<EntryStore> store;
  std::vector<std::string> record;
  if (!plan.undo.empty()) {
    try {
      store.emplace(platform);
      record =
          store->recordSwitch(item.source->word, item.name, item.command, item.file, plan.undo);
    } catch (const FileError &error) {
      return {LogonOutcome::Failed, error.what()};
    }
  }
  if (source->setEnabled(item, enabled))
    return {LogonOutcome::Done, {}};
  if (!record.empty()) {
    try {
      store->takeOutRecord(record);
    } catch (const FileError &) {
      // The record stays; restoring it finds the item as it is and only takes the record out.
    }
  }
  return {LogonOutcome::Failed, {}};
}

LogonOutcome startLogonItem(const std::vector<LogonSource *> &sources, const LogonItem &item) {
  LogonSource *source = sourceOf(sources, item.source);
  if (!source || !item.canStart)
    return LogonOutcome::NotSupported;
  return source->start(item) ? LogonOutcome::Done : LogonOutcome::Failed;
}

std::string logonFileToOpen(const std::vector<LogonSource *> &sources, const LogonItem &item) {
  const LogonSource *source = sourceOf(sources, item.source);
  return source ? source->fileToOpen(item) : item.file;
}

} // namespace lw
