#include "MainDialog.h"

#include "entries/EntryFile.h"
#include "entries/StartupList.h"
#include "entries/StartupStatus.h"
#include "support/TextNumbers.h"
#include "ui_MainDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QTreeView>

#include <algorithm>
#include <filesystem>

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
  // The other ways a program starts stay as last asked until the sources answer again.
  std::vector<StartupEntry> rows = std::move(listing.rows);
  if (showOtherSources)
    rows.insert(rows.end(), logonRows.begin(), logonRows.end());
  listModel->setRows(std::move(rows));
  showLastLogon();
  runStatus = std::move(listing.statusText);
  statusText = runStatus;
  if (showOtherSources && !logonCounts.empty())
    statusText += "\n\n" + logonCounts;

  const bool customized = listing.customizedCount != 0;
  if (customized)
    timer.start();
  else
    timer.stop();
  updateStarterValue(toolbox, customized, LW_STARTER_FILE);
  showCounts();
  noteSwitches(listing.switchesUnreadable);
  listLogonSources();
}

std::string_view MainDialog::commandStarterFile() const { return LW_STARTER_FILE; }

void MainDialog::showCounts() {
  ui->statusText->setText(QString::fromUtf8(statusText + failureNotes));
  ui->statusText->setToolTip(showOtherSources ? QString::fromUtf8(logonUnavailable) : QString());
  ui->statusText->setAccessibleName(spokenCounts(statusText));
  ui->statusText->setAccessibleDescription(QString::fromUtf8(
      showOtherSources && !logonUnavailable.empty() ? statusText + "\n" + logonUnavailable
                                                    : statusText));
  fitCounts();
}

void MainDialog::showRows() {
  // The row the user selected stays selected when the rows below the list's own change.
  const auto selected = selectedEntry();
  mark = -1;
  listModel->setLogonRows(logonRows);
  statusText = runStatus;
  if (!logonCounts.empty())
    statusText += "\n\n" + logonCounts;
  showCounts();
  if (!selected)
    return;
  const auto &rows = listModel->rows();
  for (std::size_t row = 0; row < rows.size(); ++row) {
    if (sameEntry(rows[row], *selected)) {
      entryList->setCurrentIndex(listModel->index(static_cast<int>(row), 0));
      return;
    }
  }
}

void MainDialog::makeFilterLine() {
  filterLine = new QLineEdit(ui->canvas);
  filterLine->setObjectName(QStringLiteral("filterLine"));
  // Over the top band, as wide as the list below it.
  filterLine->setGeometry(entryList->x(), 4, entryList->width(), entryList->y() - 8);
  filterLine->setClearButtonEnabled(true);
  filterLine->hide();
  filterLine->installEventFilter(this);
  connect(filterLine, &QLineEdit::textChanged, this, [this] { applyFilter(); });
  auto *find = new QShortcut(QKeySequence::Find, this);
  connect(find, &QShortcut::activated, this, [this] { showFilterLine(); });
}

void MainDialog::showFilterLine() {
  const QString prompt = QString::fromUtf8(languageTable.getText(text::filterPrompt));
  filterLine->setPlaceholderText(prompt);
  filterLine->setAccessibleName(prompt);
  if (changesNote)
    changesNote->hide(); // the filter takes its place
  filterLine->show();
  filterLine->setFocus();
  filterLine->selectAll();
}

void MainDialog::closeFilterLine() {
  filterLine->clear();
  filterLine->hide();
  entryList->setFocus();
}

void MainDialog::applyFilter() {
  const QString wanted = filterLine->text();
  const auto &rows = listModel->rows();
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    // The name shown, the file's own name behind it, or the command.
    const bool shown = wanted.isEmpty() ||
                       listModel->cellText(row, 0).contains(wanted, Qt::CaseInsensitive) ||
                       QString::fromUtf8(rows[static_cast<std::size_t>(row)].name)
                           .contains(wanted, Qt::CaseInsensitive) ||
                       listModel->cellText(row, 2).contains(wanted, Qt::CaseInsensitive);
    if (entryList->isRowHidden(row, {}) == shown)
      entryList->setRowHidden(row, {}, !shown);
  }
}

void MainDialog::showListMenu(QPoint at) {
  if (listMenu)
    listMenu->deleteLater();
  listMenu = new QMenu(this);
  listMenu->setObjectName(QStringLiteral("listMenu"));
  const auto selected = selectedEntry();
  const bool disabled = selected && selected->verdict == StartVerdict::Disabled;
  const bool hasFile = selected && !entryFile(*selected, platform).empty();
  // The keys that reach an item without the menu are shown beside it.
  const struct {
    const char *name;
    std::int32_t number;
    Handler handler;
    bool enabled;
    QKeySequence keys = {};
  } items[] = {
      {"editEntryAction", text::editButton, &MainDialog::OnEditEntry, true},
      {"deleteEntryAction", text::deleteButton, &MainDialog::OnDeleteSelectedEntry, true,
       QKeySequence::Delete},
      {disabled ? "enableEntryAction" : "disableEntryAction",
       disabled ? text::menuEnable : text::menuDisable,
       disabled ? &MainDialog::OnEnableEntry : &MainDialog::OnDisableEntry, true,
       disabled ? Qt::CTRL | Qt::Key_E : Qt::CTRL | Qt::Key_D},
      {"startNowAction", text::menuStartNow, &MainDialog::OnStartNow, true, Qt::CTRL | Qt::Key_R},
      {"openFileLocationAction", text::menuOpenFileLocation, &MainDialog::OnOpenFileLocation,
       hasFile},
      {"propertiesAction", text::menuProperties, &MainDialog::OnProperties, selected.has_value()}};
  for (const auto &item : items) {
    QAction *action = listMenu->addAction(QString::fromUtf8(languageTable.getText(item.number)));
    action->setObjectName(QLatin1String(item.name));
    action->setEnabled(item.enabled);
    action->setShortcut(item.keys);
    connect(action, &QAction::triggered, this,
            [this, handler = item.handler] { dispatch(handler); });
  }
  listMenu->popup(at);
}

void MainDialog::OnOpenFileLocation() {
  const auto selected = selectedEntry();
  const std::string file = selected ? entryFile(*selected, platform) : std::string();
  if (file.empty())
    return;
  // Where the desktop's opener shows the folder, its exit status says whether it did.
  const std::string folder = std::filesystem::path(file).parent_path().string();
  showForUser(folder, text::openerFailed,
              [this, file] { return platform.shell.showInFolder(file); });
}

void MainDialog::OnProperties() {
  const auto selected = selectedEntry();
  if (!selected)
    return;
  const std::string file = entryFile(*selected, platform);
  // Where the desktop has no properties dialog of its own, the file as `show` prints it.
  if (!file.empty() && platform.shell.showProperties(file))
    return;
  const ShownEntry shown = shownEntry(*selected, file);
  platform.prompter.tell(shown.read ? shown.text : shown.error, EntryStore::caption);
}

} // namespace lw
