#include "MainDialog.h"

#include "entries/CustomizedTiming.h"
#include "entries/StartupStatus.h"
#include "scheduler/StartNow.h"
#include "support/TextNumbers.h"
#include "ui_MainDialog.h"

#include <algorithm>

namespace lw {

bool MainDialog::WatchedShell::open(const std::string &target) {
  ++starts;
  return shell.open(target);
}

StartResult MainDialog::WatchedShell::start(const std::string &command,
                                            const std::string &workingDirectory, StartStyle style) {
  ++starts;
  return shell.start(command, workingDirectory, style);
}

void MainDialog::describeTiming(StartupEntry &row) const {
  if (!scheduleTexts)
    scheduleTexts.emplace(languageTable);
  StartFailureView view;
  lw::describeTiming(
      row, platform.clock.now(), launcher.startedThisRun,
      [this, &view](const std::string &name) -> const StartFailureView * {
        const auto failure = launcher.failedStarts.find(name);
        if (failure == launcher.failedStarts.end())
          return nullptr;
        view = {failure->second.at, failure->second.reason};
        return &view;
      },
      *scheduleTexts);
}

void MainDialog::OnStartFailed(const std::string &name) {
  const auto failure = launcher.failedStarts.find(name);
  if (failure == launcher.failedStarts.end() ||
      std::find(failuresTold.begin(), failuresTold.end(), name) != failuresTold.end())
    return;
  failuresTold.push_back(name);
  const std::string message =
      fillIn(languageTable.getText(text::timedStartFailed),
             {name, timeText(failure->second.at, true, languageTable),
              problemText(problemOfCode(failure->second.reason), languageTable)});
  if (trayIcon.isShown() && !isVisible()) {
    trayIcon.showMessage(EntryStore::caption, message);
    return;
  }
  failureNotes += "\n" + message;
  ui->statusText->setText(QString::fromUtf8(statusText + failureNotes));
}

void MainDialog::showTimings() {
  // The timer's copy holds the new last starts; its blocks are the customized rows in the
  // same order unless the file changed since the list was read, and then a row keeps its line.
  const auto &lines = launcher.timerEntries;
  std::vector<StartupEntry> &rows = listModel->rowsForUpdate();
  std::size_t customized = 0;
  while (customized < rows.size() && rows[customized].kind == EntryKind::Customized)
    ++customized;
  for (std::size_t row = 0, at = 0; row < customized && at + 2 < lines.size(); ++row, at += 4) {
    StartupEntry &entry = rows[row];
    if (lines[at] == entry.name && lines[at + 1] == entry.command)
      entry.scheduleLine = lines[at + 2];
  }
  listModel->statusChanged(0, static_cast<int>(customized) - 1);
}

void MainDialog::OnStartNow() {
  const auto selected = selectedEntry();
  if (!selected) {
    platform.prompter.tell(languageTable.getText(text::noSelectionToStart), EntryStore::caption);
    return;
  }
  const StartupEntry &entry = *selected;
  if (onLogonEntry(*this, entry, LogonCommand::Start))
    return;
  const StartResult result =
      startNow(platform, {entry.kind, entry.name, entry.command, entry.workingDirectory},
               launcher.startedThisRun);
  if (entry.kind == EntryKind::Customized) {
    if (result.started())
      launcher.failedStarts.erase(entry.name);
    else
      launcher.failedStarts[entry.name] = {platform.clock.now(),
                                           std::string(problemCode(result.problem))};
    // Before anything is shown: the timer keeps ticking inside message boxes.
    setReloadPending();
    refreshList();
  }
  if (!result.started())
    platform.prompter.tell(fillIn(languageTable.getText(text::startNowFailed),
                                  {entry.name, problemText(result.problem, languageTable)}),
                           EntryStore::caption);
}

} // namespace lw
