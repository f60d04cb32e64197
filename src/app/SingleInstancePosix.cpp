// The instance guard on Linux: a lock file decides, a local socket beside it carries the
// requests.
#include "SingleInstance.h"

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

struct SingleInstance::State {
  QString name;
  QString lockPath;
  std::unique_ptr<QLockFile> lock;
  std::unique_ptr<QLocalServer> server;
  std::unique_ptr<QLocalSocket> peer;
};

SingleInstance::SingleInstance() : state(std::make_unique<State>()) {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const bool ownFolder =
      !runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir();
  const QString prefix =
      ownFolder ? runtime + QStringLiteral("/launchwright") : QDir::tempPath() + u'/' + userTag();
  state->lockPath = prefix + QStringLiteral(".lock");
  state->name = prefix + QStringLiteral(".socket");
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
  State &s = *state;
  s.lock = std::make_unique<QLockFile>(s.lockPath);
  // Never stale by age: the holder runs for days. A holder that died is found by its process
  // id, which QLockFile checks.
  s.lock->setStaleLockTime(0);
  if (!s.lock->tryLock(0)) {
    if (s.lock->error() == QLockFile::LockFailedError)
      return false;
    std::fprintf(stderr, "launchwright: cannot create %s; a second start will not be noticed.\n",
                 qPrintable(s.lockPath));
    return true;
  }
  // Whoever holds the lock owns the name, so a socket still there is a crashed holder's.
  QLocalServer::removeServer(s.name);
  s.server = std::make_unique<QLocalServer>();
  s.server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!s.server->listen(s.name)) {
    std::fprintf(stderr, "launchwright: cannot listen on %s: %s\n", qPrintable(s.name),
                 qPrintable(s.server->errorString()));
    return true;
  }
  connect(s.server.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket *client = state->server->nextPendingConnection()) {
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        if (client->readAll().contains(QByteArrayLiteral("show")))
          emit showRequested();
      });
      client->write(greeting);
      client->flush();
    }
  });
  return true;
}

bool SingleInstance::reachRunning() {
  const auto deadline = std::chrono::steady_clock::now() + answerTime;
  const auto left = [&deadline] {
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
               .count()));
  };
  auto &peer = state->peer;
  peer = std::make_unique<QLocalSocket>();
  while (true) {
    peer->connectToServer(state->name);
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
  auto &peer = state->peer;
  peer->write(showRequest);
  const bool sent = peer->waitForBytesWritten(static_cast<int>(answerTime.count()));
  peer->disconnectFromServer();
  return sent;
}

} // namespace lw
