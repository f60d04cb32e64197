// The instance guard on Linux: which folders and lock it trusts, and whose answer.
#include "Fakes.h"
#include "app/SingleInstance.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

namespace lw::test {
namespace {

namespace fs = std::filesystem;

// Another user, played by root.
constexpr uid_t other = 65534;

// Points the guard at a runtime folder and a temporary folder of the test's.
struct GuardFolders {
  TempDir dir;
  fs::path runtime = dir.path() / "runtime";
  fs::path temporary = dir.path() / "tmp";
  fs::path fallback = temporary / ("launchwright-" + std::to_string(::geteuid()));
  fs::path lock = runtime / "launchwright.lock";
  fs::path home = dir.path() / "home";
  fs::path cache = dir.path() / "cache";

  explicit GuardFolders(fs::perms runtimeMode) {
    fs::create_directories(runtime);
    fs::create_directories(temporary);
    fs::create_directories(home);
    fs::permissions(runtime, runtimeMode);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("TMPDIR", temporary.c_str(), 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  }
  ~GuardFolders() {
    ::unsetenv("XDG_RUNTIME_DIR");
    ::unsetenv("TMPDIR");
    ::unsetenv("XDG_CACHE_HOME");
    if (realHome)
      ::setenv("HOME", realHome->c_str(), 1);
    else
      ::unsetenv("HOME");
  }

private:
  std::optional<std::string> realHome =
      std::getenv("HOME") ? std::optional<std::string>(std::getenv("HOME")) : std::nullopt;
};

void takeAsOtherUser(const fs::path &folder) {
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_all);
  ASSERT_EQ(::chown(folder.c_str(), other, other), 0);
}

TEST(SingleInstanceGuard, OnlyARuntimeFolderNobodyElseMayWriteToCountsAsPrivate) {
  const struct {
    unsigned mode;
    bool usedInPlace;
  } cases[] = {{0700, true}, {0755, true}, {0770, false}, {0703, false}};
  for (const auto &c : cases) {
    GuardFolders folders(static_cast<fs::perms>(c.mode));
    SingleInstance guard;
    EXPECT_TRUE(guard.claim()) << std::oct << c.mode;
    EXPECT_EQ(fs::exists(folders.lock), c.usedInPlace) << std::oct << c.mode;
    if (!c.usedInPlace) {
      EXPECT_EQ(fs::status(folders.fallback).permissions(), fs::perms::owner_all);
    }
  }
}

// What another user could have put in the guard's place is refused, never run unguarded; a
// runtime folder they may write to is passed over. Each row is named for the slip it catches.
TEST(SingleInstanceGuard, WhatAnotherUserCouldHavePlacedIsNotTrusted) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to play another user";
  const struct {
    const char *slip;
    unsigned runtimeMode;
    std::function<void(const GuardFolders &)> place;
    bool claims;
  } rows[] = {
      {"a fallback folder another user made first is used, in the temporary folder or the "
       "cache",
       0770,
       [](const GuardFolders &f) {
         takeAsOtherUser(f.fallback);
         takeAsOtherUser(f.cache / "launchwright");
       },
       false},
      {"a lock file of another user's is used", 0700,
       [](const GuardFolders &f) {
         std::ofstream{f.lock};
         ASSERT_EQ(::chown(f.lock.c_str(), other, other), 0);
       },
       false},
      {"a link at the lock's name is followed (opened without O_NOFOLLOW), or its ELOOP is "
       "taken for any failed open and the start runs unguarded",
       0700,
       [](const GuardFolders &f) { fs::create_symlink(f.dir.path() / "made through", f.lock); },
       false},
      {"a runtime folder its group may write is trusted", 0770,
       [](const GuardFolders &f) {
         ASSERT_EQ(::chown(f.runtime.c_str(), 0, other), 0);
         std::ofstream{f.lock};
         ASSERT_EQ(::chown(f.lock.c_str(), other, other), 0);
       },
       true},
      {"a runtime folder of another user's is trusted", 0700,
       [](const GuardFolders &f) {
         ASSERT_EQ(::chown(f.runtime.c_str(), other, other), 0);
         std::ofstream{f.lock};
         ASSERT_EQ(::chown(f.lock.c_str(), other, other), 0);
       },
       true},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    GuardFolders folders(static_cast<fs::perms>(row.runtimeMode));
    row.place(folders);
    SingleInstance guard;
    EXPECT_EQ(guard.claim(), row.claims);
    EXPECT_EQ(guard.untrustedGuard(), !row.claims);
    EXPECT_FALSE(fs::exists(folders.dir.path() / "made through"));
  }
}

// Another user who makes the temporary folder's name first does not lock the user out: the guard
// moves into a folder of the user's own cache, made closed to others, where a second start
// finds the first.
TEST(SingleInstanceGuard, ATakenTemporaryFolderMovesTheGuardIntoTheUsersCache) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to play another user";
  GuardFolders folders(fs::perms::owner_all | fs::perms::group_write);
  takeAsOtherUser(folders.fallback);
  SingleInstance first;
  ASSERT_TRUE(first.claim());
  EXPECT_FALSE(first.untrustedGuard());
  for (const auto &folder : {folders.cache, folders.cache / "launchwright"})
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all) << folder;
  EXPECT_TRUE(fs::is_empty(folders.fallback));
  SingleInstance second;
  EXPECT_FALSE(second.claim());
  EXPECT_FALSE(second.untrustedGuard());
}

// Whether `uid`, in its own group only, can talk to whatever listens at `socketPath`.
bool connectsAs(uid_t uid, const std::string &socketPath) {
  const pid_t child = ::fork();
  if (child == 0) {
    const gid_t group = uid;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ::_exit(
        ::setgroups(1, &group) == 0 && ::setgid(group) == 0 && ::setuid(uid) == 0 &&
                ::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0
            ? 0
            : 1);
  }
  int status = 1;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Only this user may talk to the instance, also when others may enter the runtime folder and the
// umask would leave a new socket open to them.
TEST(SingleInstanceGuard, NoOtherUserMayTalkToTheInstance) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to play another user";
  const struct {
    const char *slip;
    unsigned runtimeMode;
    gid_t runtimeGroup;
    uid_t uid;
    bool connects;
  } rows[] = {
      {"the socket is made in place in a runtime folder its group may enter", 0750, other, other,
       false},
      {"the socket is made in place in a runtime folder others may enter", 0705, 0, other, false},
      {"the instance cannot be reached by its own user", 0750, other, 0, true},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    GuardFolders folders(static_cast<fs::perms>(row.runtimeMode));
    ASSERT_EQ(::chown(folders.runtime.c_str(), 0, row.runtimeGroup), 0);
    const mode_t before = ::umask(0);
    SingleInstance instance;
    EXPECT_TRUE(instance.claim());
    ::umask(before);
    EXPECT_EQ(connectsAs(row.uid, (folders.runtime / "launchwright.socket").string()),
              row.connects);
  }
}

// A program listening where the instance would, bound by root so that the socket file itself
// passes; it answers as `uid` with `answer`.
pid_t answerAs(uid_t uid, const std::string &socketPath, std::string_view answer) {
  int ready[2];
  if (::pipe(ready) != 0)
    return -1;
  const pid_t listener = ::fork();
  if (listener == 0) {
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::setgid(uid) != 0 || ::setuid(uid) != 0 || ::listen(socket, 1) != 0)
      ::_exit(1);
    [[maybe_unused]] const auto told = ::write(ready[1], "r", 1);
    const int peer = ::accept(socket, nullptr, nullptr);
    [[maybe_unused]] const auto sent = ::write(peer, answer.data(), answer.size());
    char buffer[16];
    [[maybe_unused]] const auto heard = ::read(peer, buffer, sizeof buffer);
    ::_exit(0);
  }
  char byte = 0;
  const bool started = ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  ::close(ready[1]);
  return started ? listener : -1;
}

// A second start hands over only to a program of this user's that greets as the instance does.
TEST(SingleInstanceGuard, OnlyThisUsersProgramGreetingAsTheInstanceIsHandedOver) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to play another user";
  const struct {
    const char *slip;
    uid_t uid;
    const char *answer;
    bool reached;
  } rows[] = {
      {"another user's program is trusted", other, "launchwright\n", false},
      {"any answer is taken for the instance's", 0, "hello\n", false},
      {"the instance's own greeting is not taken", 0, "launchwright\n", true},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    GuardFolders folders(fs::perms::owner_all);
    const pid_t listener =
        answerAs(row.uid, (folders.runtime / "launchwright.socket").string(), row.answer);
    ASSERT_GT(listener, 0);
    SingleInstance start;
    EXPECT_EQ(start.reachRunning(), row.reached);
    EXPECT_EQ(start.untrustedGuard(), row.uid != 0);
    start.release();
    ::kill(listener, SIGKILL);
    ::waitpid(listener, nullptr, 0);
  }
}

} // namespace
} // namespace lw::test
