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

#include <chrono>
#include <cstdio>

namespace lw {

namespace {

constexpr const char *showRequest = "show\n";
constexpr const char *autostartMarkerName = "Autostart";
// The running instance may still be between taking the lock and listening, or busy with its
// start-up; a second start waits that long for it before giving up.
constexpr std::chrono::milliseconds answerTime{5000};

QString perUserPrefix() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
    return runtime + QStringLiteral("/launchwright");
  const QByteArray user =
      QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha256).toHex();
  return QDir::tempPath() + QStringLiteral("/launchwright-") + QString::fromLatin1(user.left(16));
}

} // namespace

SingleInstance::SingleInstance() {
  const QString prefix = perUserPrefix();
  lockPath = prefix + QStringLiteral(".lock");
  // On Windows a full path is no pipe name: Qt makes "\\.\pipe\<name>" of the last part.
  name = QDir::isAbsolutePath(prefix) && QDir::separator() == u'/'
             ? prefix + QStringLiteral(".socket")
             : QFileInfo(prefix).fileName();
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
    const auto take = [this, client] {
      if (client->readAll().contains(QByteArrayLiteral("show")))
        emit showRequested();
    };
    connect(client, &QLocalSocket::readyRead, this, take);
    if (client->bytesAvailable() > 0)
      take();
  }
}

bool SingleInstance::askToShow() const {
  const auto deadline = std::chrono::steady_clock::now() + answerTime;
  QLocalSocket socket;
  while (true) {
    socket.connectToServer(name);
    if (socket.waitForConnected(1000))
      break;
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    QThread::msleep(100);
  }
  socket.write(showRequest);
  const bool sent = socket.waitForBytesWritten(static_cast<int>(answerTime.count()));
  socket.disconnectFromServer();
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

int handOverToRunningInstance(const SingleInstance &instance, Registry &registry) {
  if (registry.read(RegistryRoot::LocalMachine, keys::settingsRead, autostartMarkerName) == "x") {
    registry.remove(RegistryRoot::LocalMachine, keys::settingsRead, autostartMarkerName);
    return 0;
  }
  if (instance.askToShow())
    return 0;
  std::fprintf(stderr, "launchwright: another instance is running but does not answer.\n");
  return 1;
}

} // namespace lw
