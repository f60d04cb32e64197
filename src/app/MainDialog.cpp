#include "MainDialog.h"

#include "ChangesDialog.h"
#include "DesktopNotifier.h"

#include "ProgramIcon.h"
#include "RowIcons.h"
#include "WindowBands.h"
#include "entries/EntryCommands.h"
#include "entries/EntryFile.h"
#include "entries/FileErrorText.h"
#include "entries/StartupList.h"
#include "support/TextNumbers.h"
#include "ui_MainDialog.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <iterator>

// The resources live in a static library; naming them here keeps the linker from dropping them.
static void loadProgramResources() {
  static const bool loaded = [] {
    Q_INIT_RESOURCE(launchwright);
    return true;
  }();
  (void)loaded;
}

namespace lw {

namespace {

// Set from outside by the companion starter when it brings the program up at logon. The wait
// gives the rest of the desktop time to come up before the first entries are started.
constexpr std::chrono::milliseconds autostartWait{5500};

constexpr int columnWidths[] = {100, 100, 150, 72, 120};
// Room for the cell's margins and focus frame beside a label.
constexpr int kindColumnPadding = 16;

QString fromText(const std::string &text) { return QString::fromUtf8(text); }

} // namespace

MainDialog::MainDialog(const Platform &system, Tray &tray, QWidget *parent)
    : QDialog(parent), platform(system), languageTable(system), trayIcon(tray),
      launcherShell(platform.shell), launcherPlatform{platform.registry, launcherShell,
                                                      platform.clock,    platform.location,
                                                      platform.prompter, platform.fileChooser,
                                                      platform.startup},
      launcher(launcherPlatform, [this] { minimizeToTray(); }), toolbox(platform),
      ui(std::make_unique<Ui::MainDialog>()) {
  loadProgramResources();
  ui->setupUi(this);
  addButton = ui->addButton;
  deleteButton = ui->deleteButton;
  editButton = ui->editButton;
  entryList = ui->entryList;
  makeFilterLine();
  anchorCanvas();
  listModel = new StartupListModel(languageTable, this);
  entryList->setModel(listModel);
  listModel->setTiming([this](StartupEntry &row) { describeTiming(row); });
  listModel->setPublisher(
      [this](const StartupEntry &row) { return entryPublisher(row, platform); });
  listModel->setIconSource([icons = std::make_shared<RowIcons>(platform.applications)](
                               const StartupEntry &row) { return icons->iconOf(row); });
  // A refresh gives the view new rows, all shown.
  connect(listModel, &QAbstractItemModel::modelReset, this, [this] { applyFilter(); });

  // An application window with a close box and no minimise box; only the tray minimises it.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  icon = programIcon();

  // Columns come from the language table; without it the list has none.
  entryList->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // A click on a column's title sorts by it, a second the other way, a third gives back the
  // list's own order.
  entryList->header()->setSortIndicatorClearable(true);
  entryList->header()->setSortIndicator(-1, Qt::AscendingOrder);
  entryList->setSortingEnabled(true);
  connect(listModel, &QAbstractItemModel::layoutChanged, this, [this] {
    const auto selected = entryList->selectionModel()->selectedRows();
    mark = selected.isEmpty() ? -1 : selected.first().row();
  });
  entryList->viewport()->installEventFilter(this);
  // Delete on a row deletes its entry, with the question first; in the filter line it stays the
  // line's own key.
  auto *deleteKey = new QShortcut(QKeySequence::Delete, entryList, nullptr, nullptr,
                                  Qt::WidgetWithChildrenShortcut);
  connect(deleteKey, &QShortcut::activated, this,
          [this] { dispatch(&MainDialog::OnDeleteSelectedEntry); });
  connect(entryList->header(), &QHeaderView::sectionResized, this,
          [this](int column) { onColumnDragged(column); });
  // A right click and the keyboard's menu key both arrive here.
  entryList->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(entryList, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
    guarded([&] { showListMenu(entryList->viewport()->mapToGlobal(at)); });
  });
  connect(entryList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    const auto selected = entryList->selectionModel()->selectedRows();
    if (!selected.isEmpty())
      mark = selected.first().row();
  });

  const std::pair<QPushButton *, Handler> buttons[] = {
      {ui->okButton, &MainDialog::OnOK},
      {ui->cancelButton, &MainDialog::OnCancel},
      {editButton, &MainDialog::OnEditEntry},
      {addButton, &MainDialog::OnAddEntry},
      {deleteButton, &MainDialog::OnDeleteSelectedEntry}};
  for (const auto &[button, handler] : buttons)
    connect(button, &QPushButton::clicked, this, [this, handler = handler] { dispatch(handler); });

  buildMenuBar();
  buildViewMenu();
  timer.setInterval(timerPeriodMs);
  connect(&timer, &QTimer::timeout, this, [this] { dispatch(&MainDialog::OnTimer); });
  trayIcon.notify = [this](TrayClick click) { guarded([&] { OnTrayNotify(click); }); };
  launcher.startFailed = [this](const std::string &name) { OnStartFailed(name); };
  ui->statusText->setText(QString());
}

void MainDialog::drawBands() {
  const qreal ratio = devicePixelRatioF();
  const std::pair<QLabel *, Band> bands[] = {{ui->topBand, Band::Top},
                                             {ui->bottomBand, Band::Bottom},
                                             {ui->leftBand, Band::Side},
                                             {ui->rightBand, Band::Side}};
  for (const auto &[label, band] : bands)
    label->setPixmap(drawBand(band, label->size(), ratio));
}

QIcon MainDialog::programIcon() {
  // Made once: the application, the window and the tray show the same icon (a QIcon copy
  // shares its images, each decoded when first drawn). Never destroyed, so that no image is
  // released after the application object has gone.
  static const QIcon *const icon = [] {
    loadProgramResources();
    return new QIcon(lazyIcon({{":/images/launchwright-16.png", 16},
                               {":/images/launchwright-32.png", 32},
                               {":/images/launchwright-48.png", 48},
                               {":/images/launchwright.png", 256}}));
  }();
  return *icon;
}

MainDialog::~MainDialog() {
  joinLogonWorker();
  startupWatch.reset();
  trayIcon.notify = nullptr;
  trayIcon.messageClicked = nullptr;
  trayIcon.remove();
  // The rows speak through this window's texts and timer, which end before its child widgets
  // do; an accessibility client (UI Automation on Windows) may still read the list while the
  // widgets go. The view is left with no rows instead.
  delete listModel;
  listModel = nullptr;
}

void MainDialog::reportFileError(const FileError &error) {
  platform.prompter.tell(fileErrorMessage(error, languageTable), EntryStore::caption);
}

void MainDialog::reportOutOfMemory() {
  platform.prompter.tell(outOfMemoryMessage(languageTable), EntryStore::caption);
}

bool MainDialog::OnInitDialog() {
  // Desktops without a system menu get no About item there; the Help menu has one anyway.
  guarded([this] { initialise(); });
  return true;
}

void MainDialog::initialise() {
  setWindowIcon(icon);
  languageTable.load();
  applyTexts();
  launcher.startedByAutostart = false;

  for (int column = 0; column < static_cast<int>(std::size(columnWidths)); ++column)
    entryList->setColumnWidth(column, columnWidths[column]);
  // A kind column kept from a run in another language may be too narrow for this one's labels.
  const bool restored = restoreWindowLayout();
  fitKindColumn();
  if (!restored)
    fitStatusColumn(designedListWidth(), true);
  columnBase.pending = true;

  launcher.startedThisRun.clear();
  consumeAutostartMarker();
  readViewChoices();
  readNotifyChoice();
  // Before the list is read, so that no change after the reading goes unseen.
  watchFiles();
  refreshList();
  launcher.reloadPending = true;
}

void MainDialog::applyTexts() {
  const auto textOf = [this](std::int32_t number) {
    return fromText(languageTable.getText(number));
  };
  const std::pair<QAbstractButton *, std::int32_t> buttons[] = {
      {editButton, text::editButton},
      {addButton, text::addButton},
      {deleteButton, text::deleteButton},
      {ui->okButton, text::okButton},
      {ui->cancelButton, text::cancelButton}};
  for (const auto &[button, number] : buttons)
    button->setText(textOf(number));
  // Qt's own texts (the file chooser, a text field's menu) speak the same language.
  qtTexts.follow(languageTable.getText(text::languageCode));
  entryList->setAccessibleName(textOf(text::entryListName));
  const std::pair<const char *, std::int32_t> menus[] = {{"fileMenu", text::fileMenu},
                                                         {"viewMenu", text::viewMenu},
                                                         {"languageMenu", text::languageMenu},
                                                         {"helpMenu", text::helpMenu}};
  for (const auto &[name, number] : menus)
    if (auto *menu = menuBar->findChild<QMenu *>(QLatin1String(name)))
      menu->setTitle(textOf(number));
  otherSourcesAction->setText(textOf(text::menuOtherSources));
  changesAction->setText(textOf(text::menuStartupChanges));
  notifyAction->setText(textOf(text::menuNotifyChanges));
  systemComponentsAction->setText(textOf(text::menuSystemComponents));
  recordImpactAction->setText(textOf(text::menuRecordImpact));
  listModel->setHeaders({textOf(text::nameColumn), textOf(text::kindColumn),
                         textOf(text::commandColumn), textOf(text::impactColumn),
                         textOf(text::statusColumn)});
}

void MainDialog::fitKindColumn() {
  // The kind column is as wide as the longest kind label of the language, so that no label is
  // cut short; the labels are few and known now.
  const QFontMetrics metrics = entryList->fontMetrics();
  int kindWidth = std::max(entryList->columnWidth(1), columnWidths[1]);
  for (const EntryKind kind : {EntryKind::AllUsers, EntryKind::CurrentUser, EntryKind::Customized})
    kindWidth =
        std::max(kindWidth, metrics.horizontalAdvance(fromText(kindLabel(kind, languageTable))) +
                                kindColumnPadding);
#ifdef _WIN32
  // Only Windows has the machine's 32-bit Run key.
  kindWidth = std::max(
      kindWidth, metrics.horizontalAdvance(fromText(languageTable.getText(text::allUsers32Label))) +
                     kindColumnPadding);
#endif
  setColumnWidths(1, kindWidth);
}

void MainDialog::chooseLanguage(const std::string &header) {
  languageTable.choose(header);
  applyTexts();
  fitKindColumn();
  fitStatusColumn(entryList->width());
  if (!columnBase.pending)
    rebaseColumns(listExtra);
  if (filterLine->isVisible())
    showFilterLine();
  scheduleTexts.reset();
  refreshKeepingSelection();
}

void MainDialog::consumeAutostartMarker() {
  if (!ProgramValues(platform.registry).takeLogonMarker())
    return;
  platform.clock.sleepFor(autostartWait);
  launcher.startedByAutostart = true;
}

std::optional<StartupEntry> MainDialog::selectedEntry() const {
  if (mark < 0 || static_cast<std::size_t>(mark) >= listModel->rows().size())
    return std::nullopt;
  return listModel->rows()[static_cast<std::size_t>(mark)];
}

std::string MainDialog::cellText(int row, int column) const {
  return listModel->cellText(row, column).toUtf8().toStdString();
}

void MainDialog::deleteBackgroundControl() {
  ProgramValues(platform.registry).clearBackgroundControl();
}

void MainDialog::removeRunningValues() {
  deleteBackgroundControl();
  ProgramValues(platform.registry).clearSuiteActive();
}

void MainDialog::closeEvent(QCloseEvent *event) {
  saveWindowLayout();
  dispatch(&MainDialog::OnClose);
  QDialog::closeEvent(event);
}

void MainDialog::OnClose() { removeRunningValues(); }

void MainDialog::OnExit() {
  saveWindowLayout();
  trayIcon.remove();
  removeRunningValues();
  done(QDialog::Accepted);
}

// Enter and Escape end the window like its hidden OK and Cancel buttons would, without the
// clean-up of the close box and Exit.
void MainDialog::OnOK() { accept(); }
void MainDialog::OnCancel() { reject(); }

void MainDialog::keyPressEvent(QKeyEvent *event) {
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      dispatch(&MainDialog::OnOK);
      return;
    case Qt::Key_Escape:
      dispatch(&MainDialog::OnCancel);
      return;
    case Qt::Key_F1:
      dispatch(&MainDialog::OnHelpInfo);
      return;
    default:
      break;
    }
  }
  QDialog::keyPressEvent(event);
}

bool MainDialog::eventFilter(QObject *watched, QEvent *event) {
  // A double click anywhere in the list, also on empty space, edits the selection mark.
  // Posted from the first paint, the icons come after it, never before.
  if (watched == entryList->viewport() && event->type() == QEvent::Paint)
    listModel->startIcons();
  if (watched == entryList->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    dispatch(&MainDialog::OnListDoubleClick);
    return true;
  }
  if (watched == ui->canvas && event->type() == QEvent::Resize)
    layOutCanvas();
  // Enter and Escape in the filter line belong to it, not to the window, which they would end.
  if (watched == filterLine && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Escape) {
      closeFilterLine();
      return true;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      entryList->setFocus();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void MainDialog::OnTimer() {
  // The timer keeps firing inside message boxes. While a tick's own report of a file it could
  // not use is open, further ticks would only stack the same report on top of it, one a period.
  if (tickRunning)
    return;
  tickRunning = true;
  const std::size_t starts = launcherShell.starts;
  guarded([this] {
    // The kernel may have told of a change that the settling delay has not handed over yet.
    if (fileWatch.pending() || launcherOutdated || listOutdated)
      takeOutsideChanges();
    launcher.tick();
    noteLauncherSwitches();
  });
  if (launcherShell.starts != starts)
    guarded([this] { showTimings(); });
  tickRunning = false;
}

// Every command that may change an entry is the window's own change in the change journal.
void MainDialog::OnEditEntry() {
  asOwnChange(selectedScope(), [this] { onEditEntry(*this); });
}

void MainDialog::OnListDoubleClick() { OnEditEntry(); }

void MainDialog::OnAddEntry() {
  asOwnChange(GuardScope::listEntries(), [this] { onAddEntry(*this); });
}

void MainDialog::OnDeleteSelectedEntry() {
  asOwnChange(selectedScope(), [this] { onDeleteSelectedEntry(*this); });
}

void MainDialog::OnReverseStartupChanges() {
  // A record may be of any kind, the other ways to start included.
  asOwnChange(GuardScope::everything(), [this] { onReverseStartupChanges(*this); });
}

void MainDialog::OnDisableEntry() {
  asOwnChange(selectedScope(), [this] { onSetEntryEnabled(*this, false); });
}

void MainDialog::OnEnableEntry() {
  asOwnChange(selectedScope(), [this] { onSetEntryEnabled(*this, true); });
}

} // namespace lw
