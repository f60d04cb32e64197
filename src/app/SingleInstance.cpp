#include "SingleInstance.h"

#include "MainDialog.h"
#include "support/Toolbox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace lw {

namespace {

constexpr const char *showRequest = "show\n";
constexpr const char *greeting = "launchwright\n";
constexpr const char *autostartMarkerName = "Autostart";
// The running instance may still be busy with its start-up, which waits 5.5 s after a logon;
// a second start waits that long for it before giving up.
constexpr std::chrono::milliseconds answerTime{20000};

// The same for every start of one user, different between users.
QString userTag() {
  const QByteArray home =
      QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha256).toHex();
  return QStringLiteral("launchwright-") + QString::fromLatin1(home.left(16));
}

} // namespace

SingleInstance::SingleInstance() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const bool ownFolder =
      !runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir();
  const QString prefix =
      ownFolder ? runtime + QStringLiteral("/launchwright") : QDir::tempPath() + u'/' + userTag();
  lockPath = prefix + QStringLiteral(".lock");
  // Windows has no socket files: Qt makes the pipe "\\.\pipe\<name>", in one namespace for
  // the whole machine.
  name = QDir::separator() == u'/' ? prefix + QStringLiteral(".socket") : userTag();
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
  lock = std::make_unique<QLockFile>(lockPath);
  // Never stale by age: the holder runs for days. A holder that died is found by its process
  // id, which QLockFile checks.
  lock->setStaleLockTime(0);
  if (!lock->tryLock(0)) {
    if (lock->error() == QLockFile::LockFailedError)
      return false;
    std::fprintf(stderr, "launchwright: cannot create %s; a second start will not be noticed.\n",
                 qPrintable(lockPath));
    return true;
  }
  // Whoever holds the lock owns the name, so a socket still there is a crashed holder's.
  QLocalServer::removeServer(name);
  server = std::make_unique<QLocalServer>();
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(name)) {
    std::fprintf(stderr, "launchwright: cannot listen on %s: %s\n", qPrintable(name),
                 qPrintable(server->errorString()));
    return true;
  }
  connect(server.get(), &QLocalServer::newConnection, this, &SingleInstance::accept);
  return true;
}

void SingleInstance::accept() {
  while (QLocalSocket *client = server->nextPendingConnection()) {
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    connect(client, &QLocalSocket::readyRead, this, [this, client] {
      if (client->readAll().contains(QByteArrayLiteral("show")))
        emit showRequested();
    });
    client->write(greeting);
    client->flush();
  }
}

bool SingleInstance::reachRunning() {
  const auto deadline = std::chrono::steady_clock::now() + answerTime;
  const auto left = [&deadline] {
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
               .count()));
  };
  peer = std::make_unique<QLocalSocket>();
  while (true) {
    peer->connectToServer(name);
    if (peer->waitForConnected(left()))
      break;
    if (left() == 0)
      return false;
    // Between the holder's lock and its listen, or a holder that just ended.
    QThread::msleep(100);
  }
  while (!peer->canReadLine())
    if (!peer->waitForReadyRead(left()))
      return false;
  return peer->readLine() == greeting;
}

bool SingleInstance::askToShow() {
  peer->write(showRequest);
  const bool sent = peer->waitForBytesWritten(static_cast<int>(answerTime.count()));
  peer->disconnectFromServer();
  return sent;
}

void bringToFront(MainDialog &window) {
  window.guarded([&window] {
    if (window.isHidden())
      window.restoreFromTray();
    else
      window.showNormal();
    window.raise();
    window.activateWindow();
  });
}

int handOverToRunningInstance(SingleInstance &instance, Registry &registry) {
  if (!instance.reachRunning()) {
    std::fprintf(stderr, "launchwright: another instance is running but does not answer.\n");
    return 1;
  }
  if (registry.read(RegistryRoot::LocalMachine, keys::settingsRead, autostartMarkerName) == "x") {
    registry.remove(RegistryRoot::LocalMachine, keys::settingsRead, autostartMarkerName);
    return 0;
  }
  return instance.askToShow() ? 0 : 1;
}

} // namespace lw
