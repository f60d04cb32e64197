#include "MainDialog.h"

#include "entries/StartupList.h"
#include "entries/StartupStatus.h"
#include "support/TextNumbers.h"
#include "ui_MainDialog.h"

#include <QMenu>
#include <QTreeView>

#include <algorithm>

namespace lw {

namespace {

// The counts as a screen reader reads them in one go: the lines joined, the empty one left out.
QString spokenCounts(const std::string &counts) {
  QStringList lines = QString::fromUtf8(counts).split(QLatin1Char('\n'));
  lines.removeAll(QString());
  return lines.join(QStringLiteral(", "));
}

} // namespace

void MainDialog::refreshList() {
  // Everything is read before anything is shown, so a file that cannot be read leaves the
  // rows, the counts, the timer and the starter as they were.
  StartupListing listing = readStartupList(platform, toolbox, languageTable, LW_STARTER_FILE);
  failureNotes.clear();
  listOutdated = false;
  mark = -1;
  scheduleTexts.reset(); // the language file may have changed since
  listModel->setRows(std::move(listing.rows));
  statusText = std::move(listing.statusText);

  const bool customized = listing.customizedCount != 0;
  if (customized)
    timer.start();
  else
    timer.stop();
  updateStarterValue(toolbox, customized, LW_STARTER_FILE);
  ui->statusText->setText(QString::fromUtf8(statusText));
  ui->statusText->setAccessibleName(spokenCounts(statusText));
  ui->statusText->setAccessibleDescription(QString::fromUtf8(statusText));
  fitCounts();
  noteSwitches(listing.switchesUnreadable);
}

// The counts keep their designed place, but a larger system font (Windows, Wine, a user's
// setting) needs more room than the design gives: the label grows with its text, the bottom
// band moves down below its last line, and the side bands and the window grow with it, instead
// of the last lines being cut off or drawn over the band.
void MainDialog::fitCounts() {
  QLabel *counts = ui->statusText;
  const QSize needed = counts->sizeHint();
  counts->resize(std::max(counts->width(), needed.width()),
                 std::max(counts->height(), needed.height()));
  const int overflow = counts->y() + needed.height() - ui->bottomBand->y();
  if (overflow <= 0)
    return;
  ui->bottomBand->move(ui->bottomBand->x(), ui->bottomBand->y() + overflow);
  for (QLabel *band : {ui->leftBand, ui->rightBand})
    band->resize(band->width(), band->height() + overflow);
  drawBands();
  ui->canvas->setFixedHeight(ui->canvas->height() + overflow);
}

void MainDialog::showListMenu(QPoint at) {
  if (listMenu)
    listMenu->deleteLater();
  listMenu = new QMenu(this);
  listMenu->setObjectName(QStringLiteral("listMenu"));
  const bool disabled = mark != -1 && listModel->rows()[static_cast<std::size_t>(mark)].verdict ==
                                          StartVerdict::Disabled;
  const std::pair<int, std::int32_t> items[] = {
      {command::editEntry, text::editButton},
      {command::deleteEntry, text::deleteButton},
      {disabled ? command::enableEntry : command::disableEntry,
       disabled ? text::menuEnable : text::menuDisable},
      {command::startNow, text::menuStartNow}};
  for (const auto &[id, number] : items)
    listMenu->addAction(QString::fromUtf8(languageTable.getText(number)))->setData(id);
  connect(listMenu, &QMenu::triggered, this,
          [this](QAction *action) { dispatch(action->data().toInt()); });
  listMenu->popup(at);
}

} // namespace lw
