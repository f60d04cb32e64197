// The window's watch over what starts at logon: the change journal kept while the window or its
// tray icon is there, the user told once of what another program changed, with Keep, Switch
// Off and Remove, and View > Startup Changes.

#include "ChangesDialog.h"
#include "DesktopNotifier.h"
#include "MainDialog.h"
#include "StartupWatch.h"

#include "entries/LogonRows.h"
#include "scheduler/ScheduleStatus.h"
#include "storage/EntryFormat.h"
#include "support/TextNumbers.h"
#include "ui_MainDialog.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>

#include <algorithm>

namespace lw {

namespace {

// The user's choice in config.ini.
constexpr const char *notifyKey = "NotifyStartupChanges";
// Changes that come within this of each other are one burst, told in one notification; a burst
// is told at the latest this long after its first change.
constexpr int burstMs = 700;
constexpr int longestBurstMs = 4000;

constexpr const char *keepKey = "keep";
constexpr const char *switchOffKey = "switch-off";
constexpr const char *removeKey = "remove";
constexpr const char *showKey = "default";

// Whether the user hears of it: an entry that now starts something it did not.
bool worthTelling(const ChangeRecord &record) {
  return record.by == changeBy::other &&
         (record.change == change::added || record.change == change::commandChanged ||
          record.change == change::switchedOn);
}

} // namespace

void MainDialog::watchStartup(PlatformMaker maker) {
  startupWatch =
      std::make_unique<StartupWatch>(std::move(maker), languageTable, std::string(LW_STARTER_FILE));
  notifier = std::make_unique<DesktopNotifier>([this](const QString &summary, const QString &body) {
    if (!trayIcon.isShown())
      return false;
    trayIcon.showMessage(summary.toStdString(), body.toStdString());
    return true;
  });
  trayIcon.messageClicked = [this] { notifier->balloonClicked(); };
  connect(notifier.get(), &DesktopNotifier::actionInvoked, this,
          [this](quint64 tag, const QString &key) {
            guarded([&] { actOnChange(tag, key.toStdString()); });
          });
  connect(startupWatch.get(), &StartupWatch::changesFound, this,
          [this](const std::vector<ChangeRecord> &records, bool atStart) {
            guarded([&] { takeChanges(records, atStart); });
          });
  connect(startupWatch.get(), &StartupWatch::journalChanged, this,
          [this] { guarded([this] { showJournal(); }); });
  connect(startupWatch.get(), &StartupWatch::watchIncomplete, this, [this](const QString &what) {
    platform.prompter.tell(
        fillIn(languageTable.getText(text::watchIncomplete), {what.toStdString()}),
        EntryStore::caption);
  });
  announceTimer.setSingleShot(true);
  announceTimer.setInterval(burstMs);
  connect(&announceTimer, &QTimer::timeout, this, [this] { guarded([this] { announce(); }); });
  changesAction->setEnabled(true);
  // After the first paint: the user sees the list before anything of this is read.
  QTimer::singleShot(0, this, [this] { guarded([this] { startupWatch->start(); }); });
}

void MainDialog::buildChangesMenu(QMenu *view) {
  view->addSeparator();
  changesAction = view->addAction(QStringLiteral("Startup &Changes"));
  changesAction->setObjectName(QStringLiteral("startupChangesAction"));
  changesAction->setEnabled(false); // until the window watches
  connect(changesAction, &QAction::triggered, this,
          [this] { guarded([this] { OnStartupChanges(); }); });
  notifyAction = view->addAction(QStringLiteral("&Notify About Startup Changes"));
  notifyAction->setObjectName(QStringLiteral("notifyChangesAction"));
  notifyAction->setCheckable(true);
  connect(notifyAction, &QAction::triggered, this, [this](bool on) {
    guarded([&] {
      notifyChanges = on;
      toolbox.setConfigValue(notifyKey, on ? "1" : "0");
    });
  });
}

void MainDialog::readNotifyChoice() {
  // On unless the user turned it off.
  notifyChanges = toolbox.configValue(notifyKey) != "0";
  notifyAction->setChecked(notifyChanges);
}

GuardScope MainDialog::selectedScope() const {
  GuardScope scope = GuardScope::listEntries();
  if (const auto selected = selectedEntry(); selected && selected->logon)
    scope.logonWords.push_back(selected->logon->source->word);
  return scope;
}

void MainDialog::asOwnChange(const GuardScope &scope, const std::function<void()> &change) {
  if (startupWatch)
    startupWatch->ownChange(scope, change);
  else
    change();
}

void MainDialog::takeChanges(const std::vector<ChangeRecord> &records, bool atStart) {
  if (atStart) {
    // Told once, in the window: nothing watched while they happened, and nobody waits for them.
    std::size_t added = 0, removed = 0, changed = 0;
    for (const auto &record : records)
      (record.change == change::added     ? added
       : record.change == change::removed ? removed
                                          : changed)++;
    std::string counts;
    for (const auto &[count, number] :
         {std::pair{added, text::countAdded}, std::pair{removed, text::countRemoved},
          std::pair{changed, text::countChanged}})
      if (count != 0)
        counts += (counts.empty() ? "" : ", ") +
                  fillIn(languageTable.getText(number), {std::to_string(count)});
    showChangesNote(fillIn(languageTable.getText(text::sinceLastLooked), {counts}));
    return;
  }
  for (const auto &record : records)
    if (worthTelling(record))
      toAnnounce.push_back(record);
  if (toAnnounce.empty())
    return;
  if (!burstStarted.isValid())
    burstStarted.start();
  // The burst goes on while changes keep coming, up to its longest.
  announceTimer.start(
      std::max<int>(0, std::min<qint64>(burstMs, longestBurstMs - burstStarted.elapsed())));
}

void MainDialog::announce() {
  burstStarted.invalidate();
  std::vector<ChangeRecord> records = std::move(toAnnounce);
  toAnnounce.clear();
  if (records.empty() || !notifyChanges)
    return;
  const auto textOf = [this](std::int32_t number) {
    return QString::fromStdString(languageTable.getText(number));
  };
  if (records.size() == 1) {
    const ChangeRecord &record = records.front();
    const QString summary =
        textOf(record.change == change::added ? text::entryAddedNotice : text::entryChangedNotice);
    const QString body = QString::fromStdString(kindLabelOf(record.kind)) + QStringLiteral(": ") +
                         QString::fromUtf8(record.name) + QLatin1Char('\n') +
                         QString::fromUtf8(record.after);
    QList<NotificationAction> actions{{keepKey, textOf(text::keepAction)},
                                      {switchOffKey, textOf(text::switchOffAction)}};
    // The other ways to start are switched, never removed, here.
    if (kindOfWord(record.kind))
      actions.push_back({removeKey, textOf(text::removeAction)});
    announced[record.number] = record;
    if (!notifier->notify(record.number, summary, body, actions))
      showChangesNote(summary.toStdString() + ": " + record.name);
    return;
  }
  const QString summary = QString::fromStdString(
      fillIn(languageTable.getText(text::changesNotice), {std::to_string(records.size())}));
  QString body;
  for (std::size_t i = 0; i < records.size() && i < 5; ++i)
    body += (i ? QStringLiteral("\n") : QString()) + QString::fromUtf8(records[i].name);
  if (records.size() > 5)
    body += QStringLiteral("\n…");
  // Tag 0: no one record; its button shows them all.
  if (!notifier->notify(0, summary, body, {{showKey, textOf(text::showChangesAction)}}))
    showChangesNote(summary.toStdString());
}

void MainDialog::actOnChange(std::uint64_t number, const std::string &key) {
  const auto found = announced.find(number);
  if (number == 0 || key == showKey || found == announced.end()) {
    OnStartupChanges();
    return;
  }
  const ChangeRecord record = found->second;
  announced.erase(found);
  if (key == keepKey) {
    startupWatch->noteAction(number, changeAction::kept);
    return;
  }
  if (key == switchOffKey || key == removeKey)
    actOnEntry(record, key == removeKey);
}

std::optional<StartupEntry> MainDialog::entryOfChange(const ChangeRecord &record) {
  if (const auto kind = kindOfWord(record.kind)) {
    const auto rows = readStartupList(platform, toolbox, languageTable, LW_STARTER_FILE).rows;
    for (const auto &row : rows)
      if (row.kind == *kind && row.name == record.name)
        return row;
    return std::nullopt;
  }
  for (auto *source : platform.logonSources) {
    if (source->kind()->word != record.kind)
      continue;
    auto listing = readLogonRows({source}, languageTable, LogonFilter{record.kind, true});
    for (auto &row : listing.rows)
      if (row.name == record.name)
        return std::move(row);
  }
  return std::nullopt;
}

void MainDialog::actOnEntry(const ChangeRecord &record, bool remove) {
  const auto entry = entryOfChange(record);
  if (!entry) {
    platform.prompter.tell(languageTable.getText(text::changedEntryGone), EntryStore::caption);
    return;
  }
  GuardScope scope = GuardScope::listEntries();
  if (entry->logon)
    scope = GuardScope::logonKind(record.kind);
  bool done = false;
  asOwnChange(scope, [&] {
    if (entry->logon) {
      done = switchLogonItem(platform, languageTable, *entry->logon, false).outcome ==
             LogonOutcome::Done;
    } else if (remove) {
      EntryStore store(platform);
      EntryValues values{entry->kind, entry->name, entry->command, {}, entry->view32, {}};
      deleteEntry(store, values, LW_STARTER_FILE, [this] { setReloadPending(); });
      done = true;
    } else {
      done = setEntryEnabled(platform, entry->kind, entry->name, false, entry->view32);
      setReloadPending();
    }
  });
  if (!done)
    platform.prompter.tell(languageTable.getText(text::switchFailed), EntryStore::caption);
  else
    startupWatch->noteAction(record.number,
                             remove ? changeAction::removed : changeAction::switchedOff);
  refreshKeepingSelection();
}

std::string MainDialog::kindLabelOf(const std::string &word) const {
  if (const auto kind = kindOfWord(word))
    return kindLabel(*kind, languageTable);
  for (auto *source : platform.logonSources)
    if (word == source->kind()->word)
      return logonKindLabel(source->kind(), languageTable);
  return word;
}

void MainDialog::OnStartupChanges() {
  if (!startupWatch)
    return;
  if (!changesDialog) {
    changesDialog = new ChangesDialog(
        languageTable, [this](const std::string &word) { return kindLabelOf(word); }, this);
    connect(changesDialog, &ChangesDialog::switchOffAsked, this,
            [this](const ChangeRecord &record) { guarded([&] { actOnEntry(record, false); }); });
    connect(changesDialog, &ChangesDialog::removeAsked, this,
            [this](const ChangeRecord &record) { guarded([&] { actOnEntry(record, true); }); });
  }
  changesDialog->setRecords(startupWatch->journal().read());
  changesDialog->show();
  changesDialog->raise();
  changesDialog->activateWindow();
  if (changesNote)
    changesNote->hide();
}

void MainDialog::showJournal() {
  if (changesDialog && changesDialog->isVisible())
    changesDialog->setRecords(startupWatch->journal().read());
}

void MainDialog::showChangesNote(const std::string &sentence) {
  if (!changesNote) {
    changesNote = new QLabel(ui->canvas);
    changesNote->setObjectName(QStringLiteral("changesNote"));
    changesNote->setTextFormat(Qt::RichText);
    changesNote->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                         Qt::LinksAccessibleByKeyboard);
    changesNote->setFocusPolicy(Qt::TabFocus);
    // On the band's colours a link would hardly show: it stands on the list's own background.
    changesNote->setStyleSheet(
        QStringLiteral("QLabel { background: palette(base); padding: 0 6px; }"));
    connect(changesNote, &QLabel::linkActivated, this,
            [this] { guarded([this] { OnStartupChanges(); }); });
  }
  // Over the top band, as wide as the list below it, where the filter line also goes.
  changesNote->setGeometry(entryList->x(), 4, entryList->width(), entryList->y() - 8);
  const QString words = QString::fromStdString(sentence).toHtmlEscaped();
  changesNote->setText(QStringLiteral("<a href=\"changes\">%1</a>").arg(words));
  changesNote->setAccessibleName(QString::fromStdString(sentence));
  changesNote->resize(std::min(changesNote->sizeHint().width(), entryList->width()),
                      changesNote->height());
  changesNote->show();
  changesNote->raise();
}

} // namespace lw
