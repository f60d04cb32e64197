// Changes that someone else makes to the window's files while it runs: the command line, an
// editor, a package. The timer must not start an entry the files no longer have or have switched
// off, and must start the ones they gained; the list shows what the files say.
#include "MainDialog.h"

#include "storage/EntryFormat.h"

#include <QApplication>
#include <QTreeView>

#include <optional>
#include <utility>

namespace lw {

namespace {

constexpr int listRetryMs = 250;

} // namespace

void MainDialog::watchFiles() {
  std::vector<std::string> files = platform.registry.storeFiles();
  files.push_back(toolbox.userFile(customEntriesFileName));
  fileWatch.watch(files, platform.startup.entryFolders());
  disconnect(&fileWatch, nullptr, this, nullptr);
  disconnect(&listRetry, nullptr, this, nullptr);
  connect(&fileWatch, &FileWatch::changed, this,
          [this] { guarded([this] { takeOutsideChanges(); }); });
  listRetry.setSingleShot(true);
  listRetry.setInterval(listRetryMs);
  connect(&listRetry, &QTimer::timeout, this,
          [this] { guarded([this] { takeOutsideChanges(); }); });
}

void MainDialog::takeOutsideChanges() {
  // Taken before anything is read, so that a change during the reading comes again.
  const FileWatch::Changes changes = fileWatch.take();
  launcherOutdated = launcherOutdated || changes.files;
  listOutdated = listOutdated || changes.folders;
  if (launcherOutdated) {
    // The timer's own write-backs and the window's own switches end here too; only what the
    // timer did not know already costs the list a refresh (and the user the failure notes).
    // A file that cannot be read leaves the timer outdated, so that it starts nothing.
    if (launcher.takeOutsideChange())
      listOutdated = true;
    launcherOutdated = false;
    noteLauncherSwitches();
  }
  if (!listOutdated)
    return;
  // A command's question or dialog is open and goes on with the rows it was given; the command
  // refreshes the list when it ends, or the retry does.
  if (QApplication::activeModalWidget()) {
    listRetry.start();
    return;
  }
  refreshKeepingSelection();
}

void MainDialog::noteSwitches(const std::optional<FileError> &problem) {
  if (!problem) {
    switchesToldUnreadable = false;
    return;
  }
  // The rows say it too, each time; a box each time the files change would be too much.
  if (std::exchange(switchesToldUnreadable, true))
    return;
  reportFileError(*problem);
}

void MainDialog::noteLauncherSwitches() {
  // Only a fresh reading says anything: the launcher's answer between readings is old news.
  if (launcher.switchesReads() == launcherSwitchesSeen)
    return;
  launcherSwitchesSeen = launcher.switchesReads();
  noteSwitches(launcher.switchesUnreadable());
}

void MainDialog::refreshKeepingSelection() {
  // The user did not ask for this refresh, and may be about to act on the selected row.
  if (const auto selected = selectedEntry())
    refreshSelecting(*selected);
  else
    refreshList();
}

void MainDialog::refreshSelecting(const StartupEntry &entry) {
  refreshList();
  const auto &rows = listModel->rows();
  for (std::size_t row = 0; row < rows.size(); ++row)
    if (sameEntry(rows[row], entry)) {
      const QModelIndex index = listModel->index(static_cast<int>(row), 0);
      entryList->setCurrentIndex(index);
      entryList->scrollTo(index);
      return;
    }
}

} // namespace lw
