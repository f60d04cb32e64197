// The real program started twice at once in one temporary session: one process stays, and an
// entry due at start-up is started once. And the guard itself: which folders it trusts, and
// whose answer.
#include "app/SingleInstance.h"
#include "Fakes.h"
#include "platform/linux/RegistryStore.h"
#include "support/TextFile.h"
#include "support/Toolbox.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace lw::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Session {
  TestProgram program;
  fs::path home = program.dir.path() / "home";
  fs::path config = program.dir.path() / "config";
  fs::path runtime = program.dir.path() / "runtime";
  fs::path executable = program.dir.path() / "launchwright";

  Session() {
    fs::create_directories(home);
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    fs::copy_file(LW_BUILT_PROGRAM, executable);
  }

  pid_t start() const {
    const pid_t child = ::fork();
    if (child == 0) {
      ::setenv("HOME", home.c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
      ::setenv("XDG_CONFIG_DIRS", (program.dir.path() / "xdg").c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      ::execl(executable.c_str(), executable.c_str(), static_cast<char *>(nullptr));
      ::_exit(127);
    }
    return child;
  }
};

// The exit code, or -1 when the process did not end in time (it is killed then).
int waitForExit(pid_t child, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(child, &status, WNOHANG) == child)
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(50ms);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  return -1;
}

std::string fileText(const fs::path &path) {
  return fs::exists(path) ? textfile::readBytes(path.string()) : std::string();
}

TEST(SingleInstance, SecondStartEndsAndADueEntryStartsOnce) {
  Session session;
  const fs::path log = session.program.dir.path() / "log";
  session.program.writeFile("0013cst.ini",
                            "Kestrumsoft Launchwright - Customized Entries\r\n" +
                                std::string(46, '=') + "\r\n\r\nLog\r\n/bin/sh -c \"echo ran >> '" +
                                log.string() + "'\"\r\n000000000000000x00200606290800\r\n=====");
  // A crashed instance's socket is still there.
  const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (session.runtime / "launchwright.socket").string();
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(stale, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
  ::close(stale);

  // Two starts at the same moment: one ends, the other stays and starts the due entry.
  pid_t running = session.start();
  pid_t second = session.start();
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  int status = -1;
  while (status == -1 && std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(running, &status, WNOHANG) == running)
      std::swap(running, second);
    else if (::waitpid(second, &status, WNOHANG) != second)
      status = -1;
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "no start ended cleanly";
  while (fileText(log).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  ASSERT_EQ(fileText(log), "ran\n") << "the due entry did not start";

  // From rwlaunch at logon: takes its marker back and ends.
  RegistryStore store((session.config / "launchwright" / "registry.ini").string());
  store.write(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart", "x");
  EXPECT_EQ(waitForExit(session.start(), 30s), 0);
  EXPECT_EQ(store.read(RegistryRoot::LocalMachine, keys::settingsRead, "Autostart"), std::nullopt);

  std::this_thread::sleep_for(3s); // more than one timer period
  EXPECT_EQ(::waitpid(running, nullptr, WNOHANG), 0) << "no instance is left running";
  EXPECT_EQ(fileText(log), "ran\n");
  ::kill(running, SIGTERM);
  EXPECT_NE(waitForExit(running, 10s), 127);
}

// Points the guard at a runtime folder and a temporary folder of the test's.
struct GuardFolders {
  TempDir dir;
  fs::path runtime = dir.path() / "runtime";
  fs::path temporary = dir.path() / "tmp";
  fs::path fallback = temporary / ("launchwright-" + std::to_string(::geteuid()));

  explicit GuardFolders(fs::perms runtimeMode) {
    fs::create_directories(runtime);
    fs::create_directories(temporary);
    fs::permissions(runtime, runtimeMode);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("TMPDIR", temporary.c_str(), 1);
  }
  ~GuardFolders() {
    ::unsetenv("XDG_RUNTIME_DIR");
    ::unsetenv("TMPDIR");
  }
};

TEST(SingleInstanceGuard, OnlyARuntimeFolderNobodyElseMayWriteToCountsAsPrivate) {
  const struct {
    unsigned mode;
    bool usedInPlace;
  } cases[] = {{0700, true}, {0755, true}, {0770, false}, {0703, false}};
  for (const auto &c : cases) {
    GuardFolders folders(static_cast<fs::perms>(c.mode));
    SingleInstance guard;
    EXPECT_TRUE(guard.claim()) << std::oct << c.mode;
    EXPECT_EQ(fs::exists(folders.runtime / "launchwright.lock"), c.usedInPlace)
        << std::oct << c.mode;
    if (!c.usedInPlace) {
      EXPECT_EQ(fs::status(folders.fallback).permissions(), fs::perms::owner_all);
    }
  }
}

// Another user is played by uid 65534: a fallback folder they made first, and a program of
// theirs answering on the socket, are refusals, never an unguarded run or a hand-over.
TEST(SingleInstanceGuard, AFolderOrAnAnswerOfAnotherUsersIsRefused) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to play another user";
  {
    GuardFolders folders(static_cast<fs::perms>(0770));
    fs::create_directory(folders.fallback);
    fs::permissions(folders.fallback, fs::perms::owner_all);
    ASSERT_EQ(::chown(folders.fallback.c_str(), 65534, 65534), 0);
    SingleInstance guard;
    EXPECT_FALSE(guard.claim());
    EXPECT_TRUE(guard.untrustedGuard());
  }
  GuardFolders folders(fs::perms::owner_all);
  const std::string socketPath = (folders.runtime / "launchwright.socket").string();
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t impostor = ::fork();
  if (impostor == 0) {
    // Bound by root, so that the socket file itself passes; the listener is the other user.
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::setgid(65534) != 0 || ::setuid(65534) != 0 || ::listen(listener, 1) != 0)
      ::_exit(1);
    [[maybe_unused]] const auto told = ::write(ready[1], "r", 1);
    const int peer = ::accept(listener, nullptr, nullptr);
    [[maybe_unused]] const auto sent = ::write(peer, "launchwright\n", 13);
    char buffer[16];
    [[maybe_unused]] const auto heard = ::read(peer, buffer, sizeof buffer);
    ::_exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  SingleInstance start;
  EXPECT_FALSE(start.reachRunning());
  EXPECT_TRUE(start.untrustedGuard());
  start.release();
  ::kill(impostor, SIGKILL);
  ::waitpid(impostor, nullptr, 0);
}

} // namespace
} // namespace lw::test
