#pragma once
// Tells the window that someone else (the command line, an editor, a package) may have changed
// the files it shows and starts entries from. The kernel reports the changes (inotify through
// QFileSystemWatcher), so an idle window reads nothing and spends nothing on them.

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <string>
#include <vector>

namespace lw {

class FileWatch : public QObject {
  Q_OBJECT

public:
  // What changed since the last take: one of the files, or something in one of the folders.
  struct Changes {
    bool files = false;
    bool folders = false;
  };

  // `settleMs`: how long after the first event of a burst changed() comes.
  explicit FileWatch(QObject *parent = nullptr, int settleMs = 100);

  // Files whose content matters, and folders each of whose files matters. A path that does
  // not exist yet is watched for through the nearest folder that does.
  void watch(const std::vector<std::string> &files, const std::vector<std::string> &folders);

  // Whether a change came since the last take; costs nothing.
  bool pending() const { return seen.files || seen.folders || blind; }
  // The changes since the last take, which are then forgotten; renews the watches that the
  // changes dropped. While the system refuses to watch one of the files or their folders (its
  // limit of watches reached), the files count as changed on every take.
  Changes take();
  // Whether the system refused to watch a file or folder that is there: its changes go unseen.
  bool incomplete() const { return refused; }

signals:
  // Shortly after a change, once the writes that make it up are likely over.
  void changed();

private:
  void note(const QString &path);
  void renew();
  // Each file's size and time of its last change, as far as they can be read.
  QHash<QString, QString> stampsNow() const;

  QFileSystemWatcher watcher;
  QTimer settle;
  QStringList files;
  QStringList folders;
  // The paths watched, by what a change to them stands for.
  QSet<QString> forFiles;
  QSet<QString> forFolders;
  Changes seen;
  bool blind = false;
  bool refused = false;
  QHash<QString, QString> stamps; // as of the last take
};

} // namespace lw
