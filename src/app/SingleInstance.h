#pragma once
// One running window per user session. The first start holds a lock file for its whole run and
// listens on a local socket beside it (a named pipe on Windows); a later start finds the lock
// taken and asks the running one, through the socket, to show its window. The lock is the
// arbiter, not the socket: a socket file left by a crash is removed by the next lock holder,
// and two starts at the same moment cannot both become the instance.

#include "platform/Registry.h"

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace lw {

class MainDialog;

class SingleInstance : public QObject {
  Q_OBJECT

public:
  // The names live in $XDG_RUNTIME_DIR when it is set, otherwise in the temporary folder under
  // a name made of the user's home folder, so that each user has their own.
  SingleInstance();
  ~SingleInstance() override;

  // True when this process is now the running instance (also when the lock file cannot be
  // made at all: a missing guard must not keep the program from starting).
  bool claim();
  // Connects to the running instance and waits for its greeting, which it sends only from its
  // event loop, so once its start-up (and its use of the logon marker) is over. False when it
  // did not answer in time.
  bool reachRunning();
  // Asks the reached instance to show its window.
  bool askToShow();

  const QString &serverName() const { return name; }

signals:
  void showRequested();

private:
  void accept();

  QString name;
  QString lockPath;
  std::unique_ptr<QLockFile> lock;
  std::unique_ptr<QLocalServer> server;
  std::unique_ptr<QLocalSocket> peer;
};

// The window to the front, out of the tray if it is there.
void bringToFront(MainDialog &window);

// For a start that found another instance running: once that one has answered, a logon marker
// still set is this start's own (rwlaunch at logon): it is taken back and the start ends
// quietly. Any other start asks the running one to show its window. The process's exit code.
int handOverToRunningInstance(SingleInstance &instance, Registry &registry);

} // namespace lw
