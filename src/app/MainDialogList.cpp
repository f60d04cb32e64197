#include "MainDialog.h"

#include "StartupList.h"
#include "ui_MainDialog.h"

#include <QTreeWidget>

#include <algorithm>

namespace lw {

void MainDialog::refreshList() {
  // Everything is read before anything is shown, so a file that cannot be read leaves the
  // rows, the counts, the timer and the starter as they were.
  StartupListing listing = readStartupList(platform, toolbox, languageTable);

  entryList->clear();
  mark = -1;
  const QString labels[] = {QString::fromUtf8(kindLabel(EntryKind::AllUsers, languageTable)),
                            QString::fromUtf8(kindLabel(EntryKind::CurrentUser, languageTable)),
                            QString::fromUtf8(kindLabel(EntryKind::Customized, languageTable))};
  QList<QTreeWidgetItem *> rows;
  rows.reserve(static_cast<qsizetype>(listing.rows.size()));
  for (const auto &entry : listing.rows)
    rows.append(new QTreeWidgetItem(QStringList{QString::fromUtf8(entry.name),
                                                labels[static_cast<int>(entry.kind)],
                                                QString::fromUtf8(entry.command)}));
  entryList->addTopLevelItems(rows);
  statusText = std::move(listing.statusText);

  const bool customized = listing.customizedCount != 0;
  if (customized)
    timer.start();
  else
    timer.stop();
  updateStarterValue(toolbox, customized, LW_STARTER_FILE);
  ui->statusText->setText(QString::fromUtf8(statusText));
  fitCounts();
}

// The counts keep their designed place, but a larger system font (Windows, Wine, a user's
// setting) needs more room than the design gives: the label grows with its text, and the window
// with it, instead of cutting the last lines off.
void MainDialog::fitCounts() {
  QLabel *counts = ui->statusText;
  const QSize needed = counts->sizeHint();
  counts->resize(std::max(counts->width(), needed.width()),
                 std::max(counts->height(), needed.height()));
  const int bottom = counts->geometry().bottom() + 1 + counts->fontMetrics().descent();
  if (ui->canvas->height() < bottom)
    ui->canvas->setFixedHeight(bottom);
}

} // namespace lw
