#pragma once
// One running window per user session. The first start becomes the instance and stays
// reachable for its whole run; a later start finds it there and asks it to show its window.
// On Linux the first start holds a lock file and listens on a local socket beside it: the lock
// is the arbiter, not the socket, so a socket file left by a crash is removed by the next lock
// holder. On Windows a per-user named mutex decides, and the later start posts a registered
// window message to a hidden window of the running instance, whose handle the instance
// publishes in per-user named shared memory once its event loop runs. Either way two starts at
// the same moment cannot both become the instance.

#include "platform/Registry.h"

#include <QObject>

#include <memory>

namespace lw {

class MainDialog;

class SingleInstance : public QObject {
  Q_OBJECT

public:
  // On Linux the names live in $XDG_RUNTIME_DIR when it is this user's and nobody else may
  // write to it; otherwise in a private folder of the user's own in the temporary folder (made
  // 0700, and used only once it is the user's and closed), under a name made of the home folder;
  // when that folder's name is taken (by another user), in the same kind of folder in the user's
  // cache folder ($XDG_CACHE_HOME/launchwright), under a name made of the host's.
  SingleInstance();
  ~SingleInstance() override;

  // True when this process is now the running instance (also when the guard cannot be made at
  // all: a missing guard must not keep the program from starting). False when another instance
  // holds it, and when the guard's folder or lock is not this user's own (untrustedGuard()).
  bool claim();
  // Reaches the running instance and waits until it answers, which it does only from its event
  // loop, so once its start-up (and its use of the logon marker) is over. False when it did not
  // answer in time.
  bool reachRunning();
  // Asks the reached instance to show its window.
  bool askToShow();
  // Gives up being the instance (or the connection to it) now rather than at destruction.
  void release();
  // Whether claim() or reachRunning() found a guard or an answer another user could have put
  // there; the start ends then, having said so.
  bool untrustedGuard() const { return untrusted; }

signals:
  void showRequested();

private:
  struct State;
  std::unique_ptr<State> state;
  bool untrusted = false;
};

// The window to the front, out of the tray if it is there.
void bringToFront(MainDialog &window);

// For a start that found another instance running: once that one has answered, a logon marker
// still set is this start's own (rwlaunch at logon): it is taken back and the start ends
// quietly. Any other start asks the running one to show its window. The process's exit code.
int handOverToRunningInstance(SingleInstance &instance, Registry &registry);

} // namespace lw
