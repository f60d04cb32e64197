// The instance guard on Linux: a lock file decides, a local socket beside it carries the
// requests. Plain POSIX sockets, so that the program needs no network library at all.
#include "SingleInstance.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QSocketNotifier>
#include <QSysInfo>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace lw {

namespace {

constexpr std::string_view showRequest = "show\n";
constexpr std::string_view greeting = "launchwright\n";
// The running instance may still be busy with its start-up, which waits 5.5 s after a logon;
// a second start waits that long for it before giving up.
constexpr std::chrono::milliseconds answerTime{20000};

QString tagOf(const QString &what) {
  const QByteArray hash =
      QCryptographicHash::hash(what.toUtf8(), QCryptographicHash::Sha256).toHex();
  return QStringLiteral("launchwright-") + QString::fromLatin1(hash.left(16));
}

// The same for every start of one user, different between users.
QString userTag() { return tagOf(QDir::homePath()); }

// The folder of the last resort, in the user's own cache folder, where no other user can take
// the name first. A home may be shared between machines, so the names there are the host's.
QString homeFolder() {
  const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
  return (QDir::isAbsolutePath(cache) ? cache : QDir::homePath() + QStringLiteral("/.cache")) +
         QStringLiteral("/launchwright");
}
QString hostTag() { return tagOf(QSysInfo::machineHostName()); }

class Descriptor {
public:
  explicit Descriptor(int opened = -1) : fd(opened) {}
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;
  ~Descriptor() { reset(); }
  int get() const { return fd; }
  void reset(int to = -1) {
    if (fd >= 0)
      ::close(fd);
    fd = to;
  }

private:
  int fd;
};

// The address of a socket file; false when the path does not fit.
bool addressOf(const std::string &path, sockaddr_un &address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path)
    return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// Whether only this user can change what is in the folder: the user's own, and nobody else
// may write to it. A desktop session's runtime folder is so; the shared temporary folder is not.
bool isOwnFolder(const std::string &folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Whether only this user can reach into the folder at all: their own, closed to everybody else.
bool isPrivateFolder(const std::string &folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

// Without a runtime folder of the session's, a private one of our own in the temporary folder,
// as Qt makes one. Whoever made it first, it counts only once it is this user's and closed.
bool makePrivateFolder(const std::string &folder) {
  if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST)
    return false;
  struct stat info {};
  if (::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid())
    ::chmod(folder.c_str(), S_IRWXU);
  return isPrivateFolder(folder);
}

// The same where the folders above it may be missing too; those are made closed to others, as
// the XDG base folders are meant to be.
bool makePrivateFolders(const std::string &folder) {
  for (auto slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1))
    if (::mkdir(folder.substr(0, slash).c_str(), S_IRWXU) != 0 && errno != EEXIST)
      return false;
  return makePrivateFolder(folder);
}

} // namespace

struct SingleInstance::State {
  std::string name;   // the socket file
  std::string folder; // the folder that holds it
  bool ownFolder;     // the session's runtime folder, else one to make
  std::string lockPath;
  Descriptor lock; // held with flock for the whole run
  Descriptor server;
  std::unique_ptr<QSocketNotifier> accepting;
  struct Client {
    Descriptor fd;
    std::unique_ptr<QSocketNotifier> reading;
    std::string received;
  };
  std::map<int, Client> clients;
  Descriptor peer;

  ~State() {
    if (server.get() >= 0)
      ::unlink(name.c_str());
  }

  void place(const QString &where, const QString &tag) {
    const QString prefix = where + u'/' + tag;
    lockPath = QFile::encodeName(prefix + QStringLiteral(".lock")).toStdString();
    name = QFile::encodeName(prefix + QStringLiteral(".socket")).toStdString();
    folder = QFile::encodeName(where).toStdString();
  }
};

SingleInstance::SingleInstance() : state(std::make_unique<State>()) {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  state->ownFolder = !runtime.isEmpty() && QDir::isAbsolutePath(runtime) &&
                     isOwnFolder(QFile::encodeName(runtime).toStdString());
  if (state->ownFolder)
    state->place(runtime, QStringLiteral("launchwright"));
  else
    state->place(QDir::tempPath() + QStringLiteral("/launchwright-") + QString::number(::geteuid()),
                 userTag());
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::release() { state.reset(); }

bool SingleInstance::claim() {
  State &s = *state;
  // A lock the kernel holds for this process and drops when it ends, however it ends: there is
  // no stale lock to judge and nothing to write to disk. The file stays; only its lock counts.
  // It must be this user's own in a folder only this user may change: anyone else who could
  // put it there could keep every start from becoming the instance, or listen in its place.
  // What cannot be trusted stops the start; running unguarded would be what they wanted.
  const auto refuse = [this, &s](const std::string &what) {
    std::fprintf(stderr, "launchwright: %s is not this user's own (%s); not starting.\n",
                 what.c_str(), std::strerror(errno));
    s.lock.reset();
    untrusted = true;
    return false;
  };
  const auto unguarded = [&s](const char *what) {
    std::fprintf(stderr, "launchwright: cannot %s %s (%s); a second start will not be noticed.\n",
                 what, s.lockPath.c_str(), std::strerror(errno));
    s.lock.reset();
    return true;
  };
  if (!s.ownFolder && !makePrivateFolder(s.folder)) {
    // Another user may make the temporary folder's name first; the user's own cache folder
    // keeps the guard from locking them out.
    const int why = errno == 0 || errno == EEXIST ? EPERM : errno;
    const std::string taken = s.folder;
    s.place(homeFolder(), hostTag());
    if (!makePrivateFolders(s.folder)) {
      errno = why;
      return refuse(taken);
    }
  }
  s.lock.reset(
      ::open(s.lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600));
  struct stat info {};
  if (s.lock.get() < 0 || ::fstat(s.lock.get(), &info) != 0)
    return errno == ELOOP || errno == EACCES || errno == EPERM ? refuse(s.lockPath)
                                                               : unguarded("open");
  if (info.st_uid != ::geteuid() || !S_ISREG(info.st_mode)) {
    errno = EPERM;
    return refuse(s.lockPath);
  }
  while (::flock(s.lock.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      s.lock.reset();
      return false;
    }
    if (errno != EINTR)
      return unguarded("lock");
  }
  const auto fail = [&s](const char *what) {
    std::fprintf(stderr, "launchwright: cannot listen on %s: %s: %s\n", s.name.c_str(), what,
                 std::strerror(errno));
    s.server.reset();
    return true;
  };
  sockaddr_un address{};
  if (!addressOf(s.name, address)) {
    errno = ENAMETOOLONG;
    return fail("the path");
  }
  // Whoever holds the lock owns the name, so a socket still there is a crashed holder's.
  ::unlink(s.name.c_str());
  s.server.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (s.server.get() < 0)
    return fail("socket");
  // Only this user may talk to the instance. In a folder closed to others (the session's
  // runtime folder) the socket is bound in place; elsewhere it is made in a private folder of
  // its own, closed to others, and only then put in its place.
  bool bound = false;
  if (isPrivateFolder(s.folder)) {
    bound =
        ::bind(s.server.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
  } else {
    std::string folder = s.name + ".XXXXXX";
    if (!::mkdtemp(folder.data()))
      return fail("mkdtemp");
    const std::string inside = folder + "/s";
    sockaddr_un hidden{};
    bound =
        addressOf(inside, hidden) &&
        ::bind(s.server.get(), reinterpret_cast<const sockaddr *>(&hidden), sizeof hidden) == 0 &&
        ::chmod(inside.c_str(), S_IRUSR | S_IWUSR) == 0 &&
        ::rename(inside.c_str(), s.name.c_str()) == 0;
    ::unlink(inside.c_str());
    ::rmdir(folder.c_str());
  }
  if (!bound || ::listen(s.server.get(), 8) != 0)
    return fail("bind");

  s.accepting = std::make_unique<QSocketNotifier>(s.server.get(), QSocketNotifier::Read);
  connect(s.accepting.get(), &QSocketNotifier::activated, this, [this] {
    State &listening = *state;
    for (int fd; (fd = ::accept4(listening.server.get(), nullptr, nullptr,
                                 SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
      writeAll(fd, greeting);
      State::Client &client = listening.clients[fd];
      client.fd.reset(fd);
      client.reading = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
      connect(client.reading.get(), &QSocketNotifier::activated, this, [this, fd] {
        State::Client &reader = state->clients[fd];
        char buffer[256];
        ssize_t got;
        while ((got = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
          reader.received.append(buffer, static_cast<std::size_t>(got));
        const bool asked = reader.received.find("show") != std::string::npos;
        if (asked)
          reader.received.clear();
        // The peer is gone, or has said too much to be a start of this program.
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR) ||
            reader.received.size() > 4096) {
          reader.reading->setEnabled(false);
          reader.reading.release()->deleteLater();
          state->clients.erase(fd);
        }
        if (asked)
          emit showRequested();
      });
    }
  });
  return true;
}

bool SingleInstance::reachRunning() {
  using std::chrono::steady_clock;
  const auto deadline = steady_clock::now() + answerTime;
  const auto left = [&deadline] {
    const auto rest =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, rest.count()));
  };
  sockaddr_un address{};
  if (untrusted || !addressOf(state->name, address))
    return false;
  auto &peer = state->peer;
  while (true) {
    peer.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (peer.get() < 0)
      return false;
    if (::connect(peer.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
      break;
    if (left() == 0)
      return false;
    // Between the holder's lock and its listen, or a holder that just ended.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  // Whatever answers is told nothing unless it is a program of this user's, on a socket file
  // of this user's: a window shown on another user's word would be theirs to time.
  ucred credentials{};
  socklen_t size = sizeof credentials;
  struct stat socketFile {};
  if (::getsockopt(peer.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
      credentials.uid != ::geteuid() || ::lstat(state->name.c_str(), &socketFile) != 0 ||
      !S_ISSOCK(socketFile.st_mode) || socketFile.st_uid != ::geteuid()) {
    std::fprintf(stderr, "launchwright: %s is answered by a program of another user's.\n",
                 state->name.c_str());
    peer.reset();
    untrusted = true;
    return false;
  }
  std::string line;
  while (line.find('\n') == std::string::npos && line.size() < greeting.size()) {
    pollfd wait{peer.get(), POLLIN, 0};
    const int ready = ::poll(&wait, 1, left());
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      return false;
    char buffer[64];
    const ssize_t got = ::recv(peer.get(), buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return false;
    line.append(buffer, static_cast<std::size_t>(got));
  }
  return line == greeting;
}

bool SingleInstance::askToShow() {
  const bool sent = writeAll(state->peer.get(), showRequest);
  state->peer.reset();
  return sent;
}

} // namespace lw
