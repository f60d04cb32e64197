// The View menu's switch of the logon recorder, and the last logon it recorded for the Impact
// column. The recorder itself runs without the window (rwlaunch --record); the
// switch is only its line in config.ini.

#include "MainDialog.h"

#include "entries/StartupImpact.h"
#include "storage/LogonRecordings.h"
#include "support/FileError.h"

#include <QAction>
#include <QMenu>

namespace lw {

void MainDialog::buildImpactItem(QMenu *view) {
  view->addSeparator();
  recordImpactAction = view->addAction(QStringLiteral("Record Startup &Impact at Logon"));
  recordImpactAction->setObjectName(QStringLiteral("recordImpactAction"));
  recordImpactAction->setCheckable(true);
  connect(recordImpactAction, &QAction::triggered, this,
          [this] { guarded([this] { OnRecordImpactChanged(); }); });
}

void MainDialog::OnRecordImpactChanged() {
  toolbox.setConfigValue(recordImpactKey, recordImpactAction->isChecked() ? "1" : "0");
}

void MainDialog::showLastLogon() {
  std::optional<LogonRecording> last;
  // A recording that cannot be read costs the column its figures, never the list.
  try {
    auto recordings = readLogonRecordings(toolbox.userFile(logonRecordingsFileName));
    if (!recordings.empty())
      last = std::move(recordings.back());
  } catch (const FileError &) {
  }
  listModel->setLastLogon(std::move(last));
}

} // namespace lw
