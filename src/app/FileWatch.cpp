#include "FileWatch.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <filesystem>

namespace lw {

namespace {

QString pathOf(const std::string &path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// The path when it exists, else the nearest folder above it that does, where its creation will
// show; empty when there is none.
QString nearestExisting(QString path) {
  while (!QFileInfo::exists(path)) {
    const QString parent = QFileInfo(path).path();
    if (parent == path)
      return {};
    path = parent;
  }
  return path;
}

} // namespace

// Every writer here replaces a file by renaming a temporary over it, beside a lock file: one
// change is a burst of events, and one look after it is enough.
FileWatch::FileWatch(QObject *parent, int settleMs) : QObject(parent) {
  settle.setSingleShot(true);
  settle.setInterval(settleMs);
  connect(&settle, &QTimer::timeout, this, &FileWatch::changed);
  connect(&watcher, &QFileSystemWatcher::fileChanged, this, &FileWatch::note);
  connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &FileWatch::note);
}

void FileWatch::watch(const std::vector<std::string> &fileList,
                      const std::vector<std::string> &folderList) {
  files.clear();
  folders.clear();
  for (const auto &file : fileList)
    files << pathOf(file);
  for (const auto &folder : folderList)
    folders << pathOf(folder);
  renew();
  seen = {};
  stamps = stampsNow();
}

void FileWatch::note(const QString &path) {
  const bool forFolder = forFolders.contains(path);
  // A folder watched only for some of its files changes with every file beside them (the
  // program's own journal beside its entries): only a change to one of those files counts.
  if (!forFolder && forFiles.contains(path) && QFileInfo(path).isDir() && stamps == stampsNow())
    return;
  seen.files |= forFiles.contains(path);
  seen.folders |= forFolder;
  if (!settle.isActive())
    settle.start();
}

QHash<QString, QString> FileWatch::stampsNow() const {
  QHash<QString, QString> now;
  for (const QString &file : files) {
    std::error_code error;
#ifdef _WIN32
    const std::filesystem::path at(file.toStdWString());
#else
    const std::filesystem::path at(QFile::encodeName(file).toStdString());
#endif
    const auto size = std::filesystem::file_size(at, error);
    const auto time = std::filesystem::last_write_time(at, error);
    now.insert(file, error
                         ? QString()
                         : QStringLiteral("%1/%2").arg(size).arg(time.time_since_epoch().count()));
  }
  return now;
}

FileWatch::Changes FileWatch::take() {
  Changes changes = seen;
  seen = {};
  stamps = stampsNow();
  renew();
  changes.files |= blind;
  return changes;
}

void FileWatch::renew() {
  // A file is watched itself, for a change in place, and through its folder, because a file
  // replaced by rename takes its watch with it.
  QSet<QString> wantFiles;
  QSet<QString> wantFolders;
  for (const QString &file : files) {
    if (QFileInfo::exists(file))
      wantFiles.insert(file);
    if (const QString folder = nearestExisting(QFileInfo(file).path()); !folder.isEmpty())
      wantFiles.insert(folder);
  }
  for (const QString &folder : folders)
    if (const QString at = nearestExisting(folder); !at.isEmpty())
      wantFolders.insert(at);

  // The files are watched afresh each time: after a rename the name is another file, and the
  // old watch may hold on to the replaced one for as long as anybody keeps it open.
  const QStringList watched = watcher.files() + watcher.directories();
  QStringList drop;
  for (const QString &path : watched)
    if (files.contains(path) || (!wantFiles.contains(path) && !wantFolders.contains(path)))
      drop << path;
  if (!drop.isEmpty())
    watcher.removePaths(drop);
  QStringList add;
  for (const QSet<QString> *want : {&wantFiles, &wantFolders})
    for (const QString &path : *want)
      if (!add.contains(path) && (drop.contains(path) || !watched.contains(path)))
        add << path;
  blind = false;
  refused = false;
  if (!add.isEmpty())
    for (const QString &path : watcher.addPaths(add)) {
      // A path gone meanwhile shows again through its folder; anything else (the system's
      // limit of watches) would leave changes to the files unseen. A refused folder of the
      // folder list only leaves its own changes unseen.
      if (!QFileInfo::exists(path))
        continue;
      refused = true;
      if (wantFiles.contains(path))
        blind = true;
    }
  forFiles = std::move(wantFiles);
  forFolders = std::move(wantFolders);
}

} // namespace lw
