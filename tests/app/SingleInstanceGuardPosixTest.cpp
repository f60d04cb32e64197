// The instance guard on Linux: which folders it trusts, and whose answer.
#include "Fakes.h"
#include "app/SingleInstance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

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
