#include "EntryStatus.h"

#include "scheduler/Schedule.h"
#include "storage/EntryStore.h"
#include "support/TextNumbers.h"
#include "support/Toolbox.h"

#include <algorithm>

namespace lw::cli {

namespace {

void appendRunEntries(std::vector<StartupEntry> &rows, const Platform &platform, RegistryRoot root,
                      EntryKind kind) {
  auto entries = platform.startup.entries(root);
  if (!entries)
    return;
  for (auto &entry : *entries)
    rows.push_back({kind,
                    std::move(entry.name),
                    std::move(entry.command),
                    entry.verdict,
                    std::move(entry.detail),
                    std::move(entry.file),
                    std::move(entry.workingDirectory),
                    {}});
}

} // namespace

std::vector<StartupEntry> currentEntries(const Platform &platform) {
  EntryStore store(platform);
  store.readEntries();
  std::vector<std::string> switchedOff =
      platform.registry.enumerate(RegistryRoot::CurrentUser, keys::disabledCustomized)
          .value_or(std::vector<std::string>{});
  std::sort(switchedOff.begin(), switchedOff.end());

  std::vector<StartupEntry> rows;
  for (auto &custom : entriesOf(store.customLines)) {
    StartupEntry row{EntryKind::Customized, std::move(custom.name), std::move(custom.command)};
    row.scheduleLine = std::move(custom.scheduleLine);
    if (std::binary_search(switchedOff.begin(), switchedOff.end(), row.name)) {
      row.verdict = StartVerdict::Disabled;
    } else if (auto missing = platform.startup.missingProgram(row.command)) {
      row.verdict = StartVerdict::ProgramMissing;
      row.detail = std::move(*missing);
    }
    rows.push_back(std::move(row));
  }
  appendRunEntries(rows, platform, RegistryRoot::CurrentUser, EntryKind::CurrentUser);
  appendRunEntries(rows, platform, RegistryRoot::LocalMachine, EntryKind::AllUsers);
  return rows;
}

const char *reasonCode(StartVerdict verdict) {
  switch (verdict) {
  case StartVerdict::Starts:
    return "starts";
  case StartVerdict::Disabled:
    return "disabled";
  case StartVerdict::OtherDesktop:
    return "other-desktop";
  case StartVerdict::ProgramMissing:
    return "program-missing";
  case StartVerdict::NotAProgram:
    return "not-a-program";
  case StartVerdict::Replaced:
    return "replaced";
  case StartVerdict::Unreadable:
    return "unreadable";
  }
  return "unknown";
}

std::string statusText(const StartupEntry &entry, const LanguageTable &) {
  switch (entry.verdict) {
  case StartVerdict::Starts:
    return "Starts";
  case StartVerdict::Disabled:
    return "Switched off";
  case StartVerdict::OtherDesktop:
    return "Other desktop only";
  case StartVerdict::ProgramMissing:
    return "Program missing";
  case StartVerdict::NotAProgram:
    return "Not a program";
  case StartVerdict::Replaced:
    return "Replaced by the user's entry";
  case StartVerdict::Unreadable:
    return "Unreadable";
  }
  return {};
}

std::string reasonSentence(const StartupEntry &entry, const LanguageTable &) {
  const bool customized = entry.kind == EntryKind::Customized;
  const std::string detail = entry.detail.empty() ? std::string() : " (" + entry.detail + ")";
  switch (entry.verdict) {
  case StartVerdict::Starts:
    return customized ? "It will be started by its rule." : "It will be started at logon.";
  case StartVerdict::Disabled:
    return "It will not start: it is switched off.";
  case StartVerdict::OtherDesktop:
    return "It will not start: it is meant for another desktop" + detail + ".";
  case StartVerdict::ProgramMissing:
    return "It will not start: its program cannot be found" + detail + ".";
  case StartVerdict::NotAProgram:
    return "It will not start: it does not start a program" + detail + ".";
  case StartVerdict::Replaced:
    return "It will not start: the user's entry of the same name replaces it.";
  case StartVerdict::Unreadable:
    return "It will not start: its file cannot be read" + detail + ".";
  }
  return {};
}

bool setEntryEnabled(const Platform &platform, EntryKind kind, const std::string &name,
                     bool enabled) {
  switch (kind) {
  case EntryKind::Customized:
    return enabled
               ? platform.registry.remove(RegistryRoot::CurrentUser, keys::disabledCustomized, name)
               : platform.registry.write(RegistryRoot::CurrentUser, keys::disabledCustomized, name,
                                         "1");
  case EntryKind::CurrentUser:
    return platform.startup.setEnabled(RegistryRoot::CurrentUser, name, enabled);
  case EntryKind::AllUsers:
    return platform.startup.setEnabled(RegistryRoot::LocalMachine, name, enabled);
  }
  return false;
}

std::string scheduleInWords(const std::string &scheduleLine, const LanguageTable &texts) {
  const ScheduleValues values = decodeSchedule(scheduleLine);
  if (values.choice < 0 || values.choice > static_cast<int>(ScheduleKind::OnDayOfMonth))
    return {};
  std::string words = texts.getText(text::firstScheduleLabel + 5 * values.choice);
  const auto fill = [&words](std::string_view placeholder, const std::string &value) {
    if (const auto at = words.find(placeholder); at != std::string::npos)
      words.replace(at, placeholder.size(), value);
  };
  switch (static_cast<ScheduleKind>(values.choice)) {
  case ScheduleKind::EveryMinutes:
    fill("...", values.minutes);
    break;
  case ScheduleKind::EveryHours:
    fill("...", values.hours);
    break;
  case ScheduleKind::EveryDays:
    fill("...", values.days);
    break;
  case ScheduleKind::EveryWeeks:
    fill("...", values.weeks);
    break;
  case ScheduleKind::OnWeekday:
    fill("...", values.weekday);
    break;
  case ScheduleKind::OnDayOfMonth:
    fill("x", values.dayOfMonth);
    break;
  default:
    break;
  }
  return words;
}

std::optional<std::string> lastStartOf(const std::string &scheduleLine) {
  if (scheduleLine.size() < scheduleLength + 12)
    return std::nullopt;
  const std::string_view stamp = std::string_view(scheduleLine).substr(scheduleLength, 12);
  if (!std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  std::string iso;
  iso.append(stamp.substr(0, 4)).append("-").append(stamp.substr(4, 2)).append("-");
  iso.append(stamp.substr(6, 2)).append("T").append(stamp.substr(8, 2)).append(":");
  iso.append(stamp.substr(10, 2)).append(":00");
  return iso;
}

std::optional<std::string> nextStartOf(const std::string &, const Platform &) {
  return std::nullopt;
}

} // namespace lw::cli
