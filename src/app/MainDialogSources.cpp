// The View menu's other ways a program starts at logon: asked on a thread of their own after the
// list is painted, so that a slow source (a D-Bus round trip, a child process) never holds the
// window up, and shown below the list's own rows with their kinds and counts.

#include "MainDialog.h"

#include "entries/StartupImpact.h"
#include "support/TextNumbers.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>

namespace lw {

namespace {

// The user's choices in config.ini, kept from one run to the next.
constexpr const char *otherSourcesKey = "ShowOtherStartups";
constexpr const char *systemComponentsKey = "ShowSystemComponents";

} // namespace

void MainDialog::buildViewMenu() {
  QMenu *view = new QMenu(QStringLiteral("&View"), menuBar);
  view->setObjectName(QStringLiteral("viewMenu"));
  menuBar->insertMenu(menuBar->actions().value(1), view);
  otherSourcesAction = view->addAction(QStringLiteral("&Other Ways Programs Start"));
  otherSourcesAction->setObjectName(QStringLiteral("otherSourcesAction"));
  systemComponentsAction = view->addAction(QStringLiteral("&System Components"));
  systemComponentsAction->setObjectName(QStringLiteral("systemComponentsAction"));
  for (QAction *action : {otherSourcesAction, systemComponentsAction}) {
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this] { guarded([this] { OnViewChanged(); }); });
  }
  buildChangesMenu(view);
  buildImpactItem(view);
}

void MainDialog::readViewChoices() {
  showOtherSources = toolbox.configValue(otherSourcesKey) == "1";
  showSystemComponents = toolbox.configValue(systemComponentsKey) == "1";
  otherSourcesAction->setChecked(showOtherSources);
  systemComponentsAction->setChecked(showSystemComponents);
  systemComponentsAction->setEnabled(showOtherSources);
  recordImpactAction->setChecked(toolbox.configValue(recordImpactKey) != "0");
}

void MainDialog::OnViewChanged() {
  const bool other = otherSourcesAction->isChecked();
  const bool system = systemComponentsAction->isChecked();
  // Chosen just now: a source that cannot be asked is told once, not only shown by its count.
  tellUnavailable = other && !showOtherSources;
  if (other != showOtherSources)
    toolbox.setConfigValue(otherSourcesKey, other ? "1" : "0");
  if (system != showSystemComponents)
    toolbox.setConfigValue(systemComponentsKey, system ? "1" : "0");
  showOtherSources = other;
  showSystemComponents = system;
  systemComponentsAction->setEnabled(other);
  logonRows.clear();
  logonCounts.clear();
  logonUnavailable.clear();
  refreshList();
}

void MainDialog::listLogonSources() {
  if (!showOtherSources || platform.logonSources.empty())
    return;
  if (logonWorker.joinable()) {
    logonAgain = true; // one asking at a time; the next starts when this one is done
    return;
  }
  logonAgain = false;
  logonWorker = std::thread([this, sources = platform.logonSources] {
    auto answers = askLogonSources(sources, std::nullopt);
    // Events posted to a window that is gone are dropped; the window joins this thread first.
    QMetaObject::invokeMethod(
        this,
        [this, answers = std::move(answers)]() mutable { takeLogonAnswers(std::move(answers)); },
        Qt::QueuedConnection);
  });
}

void MainDialog::takeLogonAnswers(std::vector<LogonAnswer> answers) {
  logonWorker.join();
  if (showOtherSources) {
    LogonListing listing = logonRowsOf(std::move(answers), languageTable, showSystemComponents);
    logonRows = std::move(listing.rows);
    logonCounts.clear();
    appendLogonCounts(logonCounts, listing, languageTable);
    logonUnavailable.clear();
    for (const auto &sentence : listing.unavailable)
      logonUnavailable += (logonUnavailable.empty() ? "" : "\n") + sentence;
    showRows();
    if (tellUnavailable && !logonUnavailable.empty())
      platform.prompter.tell(logonUnavailable, EntryStore::caption);
  }
  tellUnavailable = false;
  ++logonListings;
  if (logonAgain)
    listLogonSources();
}

void MainDialog::joinLogonWorker() {
  if (logonWorker.joinable())
    logonWorker.join();
}

} // namespace lw
