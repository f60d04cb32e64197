#include "MainDialog.h"

#include "StartupList.h"
#include "ui_MainDialog.h"

#include <QTreeWidget>

namespace lw {

void MainDialog::refreshList() {
  // Everything is read before anything is shown, so a file that cannot be read leaves the
  // rows, the counts, the timer and the starter as they were.
  StartupListing listing = readStartupList(platform, toolbox, languageTable);
  listedRows = std::move(listing.rows);
  describeCustomizedRows();

  entryList->clear();
  mark = -1;
  const QString labels[] = {
      QString::fromLocal8Bit(kindLabel(EntryKind::AllUsers, languageTable)),
      QString::fromLocal8Bit(kindLabel(EntryKind::CurrentUser, languageTable)),
      QString::fromLocal8Bit(kindLabel(EntryKind::Customized, languageTable))};
  QList<QTreeWidgetItem *> rows;
  rows.reserve(static_cast<qsizetype>(listedRows.size()));
  for (const auto &entry : listedRows)
    rows.append(new QTreeWidgetItem(
        QStringList{QString::fromLocal8Bit(entry.name), labels[static_cast<int>(entry.kind)],
                    QString::fromLocal8Bit(entry.command), QString::fromLocal8Bit(entry.timing)}));
  entryList->addTopLevelItems(rows);
  statusText = std::move(listing.statusText);

  const bool customized = listing.customizedCount != 0;
  if (customized)
    timer.start();
  else
    timer.stop();
  updateStarterValue(toolbox, customized, LW_STARTER_FILE);
  ui->statusText->setText(QString::fromLocal8Bit(statusText));
}

} // namespace lw
