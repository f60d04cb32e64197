#include "entries/LogonRows.h"

#include "scheduler/ScheduleStatus.h"
#include "support/TextNumbers.h"

#include <algorithm>
#include <exception>
#include <filesystem>

namespace lw {

namespace {

int indexOf(LogonSourceKind kind) { return static_cast<int>(kind); }

LogonSource *sourceOf(const std::vector<LogonSource *> &sources, LogonSourceKind kind) {
  for (auto *source : sources)
    if (source->kind() == kind)
      return source;
  return nullptr;
}

constexpr const char *kindWords[logonSourceKinds] = {
    "systemd-unit", "session-script", "boot-job", "startup-folder", "run-once", "logon-task"};

} // namespace

std::vector<LogonAnswer> askLogonSources(const std::vector<LogonSource *> &sources,
                                         std::optional<LogonSourceKind> only) {
  std::vector<LogonAnswer> answers;
  for (auto *source : sources) {
    if (only && *only != source->kind())
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
    auto &count = listing.counts[static_cast<std::size_t>(indexOf(kind))];
    if (!count)
      count = 0;
    if (items.unavailable) {
      listing.unavailable.push_back(fillIn(texts.getText(text::logonSourceUnavailable),
                                           {logonKindLabel(kind, texts), *items.unavailable}));
      listing.unavailableKinds.push_back(kind);
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
      ++*count;
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
  for (int kind = 0; kind < logonSourceKinds; ++kind) {
    const auto &count = listing.counts[static_cast<std::size_t>(kind)];
    if (!count)
      continue;
    if (!statusText.empty())
      statusText += '\n';
    statusText += texts.getText(text::firstLogonKindCount + kind);
    statusText += ' ';
    const bool asked =
        std::find(listing.unavailableKinds.begin(), listing.unavailableKinds.end(),
                  static_cast<LogonSourceKind>(kind)) == listing.unavailableKinds.end();
    statusText += asked ? std::to_string(*count) : "\xE2\x80\x93";
  }
}

std::string logonKindLabel(LogonSourceKind kind, const LanguageTable &texts) {
  return texts.getText(text::firstLogonKindLabel + indexOf(kind));
}

const char *wordOfLogonKind(LogonSourceKind kind) { return kindWords[indexOf(kind)]; }

std::optional<LogonSourceKind> logonKindOfWord(std::string_view word) {
  for (int kind = 0; kind < logonSourceKinds; ++kind)
    if (word == kindWords[kind])
      return static_cast<LogonSourceKind>(kind);
  return std::nullopt;
}

EntryStatus logonStatus(const LogonItem &item, const LanguageTable &texts) {
  EntryStatus status;
  status.text = texts.getText(text::firstVerdictLabel + static_cast<std::int32_t>(item.verdict));
  const auto reason = static_cast<std::int32_t>(item.reason);
  if (item.reason != LogonReason::None) {
    status.text += " \xE2\x80\x93 ";
    status.text += texts.getText(text::logonReasonCell(reason));
    status.reason = texts.getText(text::logonReasonSentence(reason));
  } else {
    status.reason =
        texts.getText(text::firstVerdictReason + static_cast<std::int32_t>(item.verdict));
  }
  // What the source's own tool says and what the row is, as asides.
  std::vector<std::string> asides;
  if (!item.detail.empty())
    asides.push_back(item.detail);
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

LogonOutcome switchLogonItem(const std::vector<LogonSource *> &sources, const LogonItem &item,
                             bool enabled) {
  LogonSource *source = sourceOf(sources, item.source);
  if (!source || item.switchBy == LogonSwitch::None)
    return LogonOutcome::NotSupported;
  return source->setEnabled(item, enabled) ? LogonOutcome::Done : LogonOutcome::Failed;
}

LogonOutcome startLogonItem(const std::vector<LogonSource *> &sources, const LogonItem &item) {
  LogonSource *source = sourceOf(sources, item.source);
  if (!source || !item.canStart)
    return LogonOutcome::NotSupported;
  return source->start(item) ? LogonOutcome::Done : LogonOutcome::Failed;
}

std::string logonFileToOpen(const LogonItem &item) {
  if (item.file.empty() || item.source != LogonSourceKind::StartupFolder)
    return item.file;
  return std::filesystem::path(item.file).parent_path().string();
}

} // namespace lw
