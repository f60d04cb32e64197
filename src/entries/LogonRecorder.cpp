#include "LogonRecorder.h"

#include "LogonRows.h"
#include "StartupImpact.h"
#include "StartupList.h"
#include "support/Toolbox.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <string_view>

namespace lw {

RecordingOutcome recordLogon(const Platform &platform, const LanguageTable &texts,
                             std::string_view starterFile, std::chrono::milliseconds until,
                             bool once) {
  Toolbox toolbox(platform);
  if (toolbox.configValue(recordImpactKey) == "0")
    return RecordingOutcome::SwitchedOff;
  if (!platform.impactMeter)
    return RecordingOutcome::NoMeter;
  // An entry whose switch cannot be read is measured: it may well have started.
  std::vector<StartupEntry> rows = readStartupList(platform, toolbox, texts, starterFile).rows;
  // Jobs run at boot are not the logon's: asking for them would start a program of its own.
  std::vector<LogonSource *> sources;
  std::ranges::copy_if(platform.logonSources, std::back_inserter(sources), [](LogonSource *source) {
    return std::string_view(source->kind()->word) != "boot-job";
  });
  LogonListing logon = readLogonRows(sources, texts, {std::nullopt, /*systemComponents=*/true});
  std::move(logon.rows.begin(), logon.rows.end(), std::back_inserter(rows));
  const auto nowUtc = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  const auto targets = impactTargets(rows, platform.clock.now(), nowUtc);
  const auto measurement = platform.impactMeter->measure(targets, until, once);
  addLogonRecording(toolbox.userFile(logonRecordingsFileName), recordingOf(targets, measurement));
  return RecordingOutcome::Recorded;
}

} // namespace lw
