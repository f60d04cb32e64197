// What only the POSIX file layer does: links to data files, special files put where a file was
// expected, and the leftovers of killed writers.

#include "Fakes.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lw {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> readOrReason(const fs::path &path, std::size_t limit) {
  try {
    return textfile::readBytes(path.string(), limit);
  } catch (const FileError &error) {
    EXPECT_EQ(error.path(), path.string());
    return std::nullopt;
  }
}

TEST(AtomicWrite, ReplacesALinkedFileWhereItIsAndKeepsTheLink) {
  test::TempDir dir;
  const auto target = dir.path() / "shared.ini";
  const auto link = dir.path() / "0013cst.ini";
  textfile::writeAtomically(target.string(), "old");
  std::filesystem::create_symlink(target, link);
  textfile::writeAtomically(link.string(), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(textfile::readBytes(target.string()), "new");
}

// A FIFO without a writer would block a plain open for good: the alarm ends a hanging test.
TEST(BoundedRead, OnlyRegularFilesWithinTheLimitAreLoaded) {
  ::alarm(20);
  test::TempDir dir;
  const auto at = [&](const char *name) { return dir.path() / name; };
  textfile::writeAtomically(at("plain").string(), "0123456789");
  textfile::writeAtomically(at("eleven").string(), "0123456789X");
  ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = at("socket").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
  fs::create_directory(at("folder"));
  fs::create_symlink("/dev/zero", at("zero"));
  fs::create_symlink(at("plain"), at("link to plain"));
  fs::create_symlink(at("nowhere"), at("dangling"));

  const struct {
    const char *name;
    std::optional<std::string> expected;
  } cases[] = {
      {"plain", "0123456789"}, {"link to plain", "0123456789"}, {"eleven", std::nullopt},
      {"fifo", std::nullopt},  {"socket", std::nullopt},        {"folder", std::nullopt},
      {"zero", std::nullopt},  {"dangling", std::nullopt},      {"missing", std::nullopt},
  };
  for (const auto &c : cases)
    EXPECT_EQ(readOrReason(at(c.name), 10), c.expected) << c.name;
  ::close(listener);

  // A file the size of several read steps arrives whole.
  const std::string big(300 * 1024, 'b');
  textfile::writeAtomically(at("big").string(), big);
  EXPECT_EQ(textfile::readBytes(at("big").string()), big);
  EXPECT_EQ(readOrReason(at("big"), big.size() - 1), std::nullopt);
  ::alarm(0);
}

TEST(AtomicWrite, SpecialFileAtTheTargetIsNamedNotReplaced) {
  test::TempDir dir;
  const auto folder = dir.path() / "0013cst.ini";
  const auto fifo = dir.path() / "0013bkp.ini";
  const auto linkToFolder = dir.path() / "config.ini";
  fs::create_directory(folder);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink(folder, linkToFolder);
  for (const auto &path : {folder, fifo, linkToFolder}) {
    EXPECT_THROW(textfile::writeAtomically(path.string(), "x"), FileError) << path;
    EXPECT_THROW(textfile::requireRegularOrAbsent(path.string()), FileError) << path;
  }
  // An entry's name is never written through, not even to a regular file.
  const auto plain = dir.path() / "plain";
  const auto entryLink = dir.path() / "entry.desktop";
  textfile::writeAtomically(plain.string(), "kept");
  fs::create_symlink(plain, entryLink);
  for (const auto &path : {fifo, entryLink})
    EXPECT_THROW(textfile::writeAtomically(path.string(), "x", textfile::LinkPolicy::Refuse),
                 FileError)
        << path;
  EXPECT_TRUE(fs::is_symlink(entryLink));
  EXPECT_EQ(textfile::readBytes(plain.string()), "kept");
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_symlink(linkToFolder));
  EXPECT_NO_THROW(textfile::requireRegularOrAbsent((dir.path() / "absent").string()));
}

TEST(AtomicWrite, NextWriteRemovesOnlyItsOwnStaleTemporaries) {
  test::TempDir dir;
  const auto file = [&](const std::string &name) { return dir.path() / name; };
  const std::time_t old = std::time(nullptr) - textfile::staleTemporaryAgeSeconds - 60;
  const auto make = [&](const std::string &name, bool stale) {
    textfile::writeAtomically(file(name).string(), "leftover");
    if (stale) {
      const timespec times[2] = {{old, 0}, {old, 0}};
      ASSERT_EQ(::utimensat(AT_FDCWD, file(name).c_str(), times, 0), 0);
    }
  };
  const struct {
    const char *name;
    bool stale;
    bool removed;
  } cases[] = {
      {"0013cst.ini.aB3xYz", true, true},
      {"0013cst.ini.Q1w2E3", false, false},
      {"0013cst.ini.aB3xY", true, false},
      {"0013cst.ini.aB3xYz7", true, false},
      {"0013cst.ini.aB3-Yz", true, false},
      {"0013bkp.ini.aB3xYz", true, false},
      {"x0013cst.ini.aB3xYz", true, false},
      {"0013cst.ini.lock", true, false},
      // A long name's temporary names no file, so any write removes it: last, after the others.
      {".launchwright.aB3xYz", true, true},
  };
  for (const auto &c : cases)
    make(c.name, c.stale);
  fs::create_directory(file("0013cst.ini.dirABC"));
  ::utimensat(AT_FDCWD, file("0013cst.ini.dirABC").c_str(),
              std::array<timespec, 2>{{{old, 0}, {old, 0}}}.data(), 0);

  textfile::writeAtomically(file("0013cst.ini").string(), "new");
  for (const auto &c : cases)
    EXPECT_EQ(fs::exists(file(c.name)), !c.removed) << c.name;
  EXPECT_TRUE(fs::is_directory(file("0013cst.ini.dirABC")));
  EXPECT_EQ(textfile::readBytes(file("0013cst.ini").string()), "new");
}

mode_t modeOf(const fs::path &path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(AtomicWrite, NewFilesGetTheUmasksModeOrEveryonesReadAndRewrittenOnesKeepTheirs) {
  test::TempDir dir;
  textfile::writeAtomically((dir.path() / "kept").string(), "old");
  fs::permissions(dir.path() / "kept", static_cast<fs::perms>(0640));
  const struct {
    const char *name;
    mode_t umask;
    textfile::NewFileAccess access;
    mode_t expected;
  } cases[] = {
      {"private", 077, textfile::NewFileAccess::Umask, 0600},
      {"usual", 022, textfile::NewFileAccess::Umask, 0644},
      {"machine entry", 077, textfile::NewFileAccess::EveryoneReads, 0644},
      {"kept", 022, textfile::NewFileAccess::EveryoneReads, 0640},
  };
  for (const auto &c : cases) {
    const mode_t before = ::umask(c.umask);
    textfile::writeAtomically((dir.path() / c.name).string(), "new", textfile::LinkPolicy::Follow,
                              c.access);
    ::umask(before);
    EXPECT_EQ(modeOf(dir.path() / c.name), c.expected) << c.name;
  }
}

// The calls a write makes to make itself durable, as the system sees them: every fsync with what
// its descriptor names at that moment, and every rename.
bool recording = false;
std::vector<std::vector<std::string>> durabilityCalls;

} // namespace
} // namespace lw

extern "C" int fsync(int fd) {
  using Real = int (*)(int);
  static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "fsync"));
  if (lw::recording) {
    char named[PATH_MAX] = {};
    const ssize_t length =
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), named, sizeof named - 1);
    lw::durabilityCalls.push_back({"fsync", length > 0 ? named : "?"});
  }
  return real(fd);
}

extern "C" int rename(const char *from, const char *to) noexcept {
  using Real = int (*)(const char *, const char *);
  static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "rename"));
  if (lw::recording)
    lw::durabilityCalls.push_back({"rename", from, to});
  return real(from, to);
}

namespace lw {
namespace {

// A crash may lose anything not yet on disk: the data must be there before the name points at
// it, and the name before the write counts as done.
TEST(AtomicWrite, FlushesTheFileBeforeTheRenameAndTheFolderAfterIt) {
  test::TempDir dir;
  const std::string folder = fs::canonical(dir.path()).string();
  durabilityCalls.clear();
  recording = true;
  textfile::writeAtomically(folder + "/0013cst.ini", "data");
  recording = false;
  ASSERT_EQ(durabilityCalls.size(), 3u);
  const std::string temporary = durabilityCalls[0][1];
  EXPECT_TRUE(temporary.starts_with(folder + "/0013cst.ini.")) << temporary;
  EXPECT_EQ(durabilityCalls, (std::vector<std::vector<std::string>>{
                                 {"fsync", temporary},
                                 {"rename", temporary, folder + "/0013cst.ini"},
                                 {"fsync", folder},
                             }));
}

// Run as root in a user's settings folder: a link that user could have put there must not
// decide where root writes. A link is followed when root made it, or when it lies in a folder
// only root may change. Another user is played by uid 65534.
TEST(AtomicWrite, LinksAnotherUserCouldHavePlacedAreNotFollowed) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to hand files to another user";
  test::TempDir dir;
  const uid_t other = 65534;
  const struct {
    const char *slip;
    uid_t folderOwner;
    unsigned folderMode;
    uid_t linkOwner;
    bool followed;
  } rows[] = {
      {"a link of another user's in their folder is followed", other, 0755, other, false},
      {"a link in a folder the group may write is followed", 0, 0775, other, false},
      {"a link in a folder anyone may write is followed", 0, 0757, other, false},
      {"root's own link in another user's folder is refused", other, 0755, 0, true},
      {"a link in a folder only root may change is refused", 0, 0755, other, true},
  };
  int number = 0;
  for (const auto &row : rows) {
    SCOPED_TRACE(row.slip);
    const auto folder = dir.path() / std::to_string(++number);
    const auto target = dir.path() / (std::to_string(number) + ".secret");
    const auto link = folder / "0013cst.ini";
    textfile::writeAtomically(target.string(), "secret");
    fs::create_directory(folder);
    fs::create_symlink(target, link);
    ASSERT_EQ(::lchown(link.c_str(), row.linkOwner, row.linkOwner), 0);
    ASSERT_EQ(::chown(folder.c_str(), row.folderOwner, row.folderOwner), 0);
    fs::permissions(folder, static_cast<fs::perms>(row.folderMode));
    bool followed = true;
    try {
      textfile::writeAtomically(link.string(), "written");
    } catch (const FileError &) {
      followed = false;
    }
    EXPECT_EQ(followed, row.followed);
    EXPECT_EQ(textfile::readBytes(target.string()), row.followed ? "written" : "secret");
    EXPECT_TRUE(fs::is_symlink(link));
  }
}

// Nor which file root locks.
TEST(FileLock, LocksOfAnotherUserAreRefused) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "needs root to hand files to another user";
  test::TempDir dir;
  const uid_t other = 65534;
  const auto theirs = dir.path() / "theirs";
  fs::create_directory(theirs);
  ASSERT_EQ(::chown(theirs.c_str(), other, other), 0);
  const auto rootOnly = dir.path() / "root-only";
  textfile::writeAtomically(rootOnly.string(), "secret");
  fs::permissions(rootOnly, static_cast<fs::perms>(0600));
  const auto at = [&](const char *name) { return theirs / name; };

  textfile::writeAtomically(at("their lock.lock").string(), "");
  ASSERT_EQ(::chown(at("their lock.lock").c_str(), other, other), 0);
  fs::create_symlink(dir.path() / "made through", at("linked lock.lock"));
  ASSERT_EQ(::lchown(at("linked lock.lock").c_str(), other, other), 0);
  fs::create_symlink(rootOnly, at("own linked lock.lock"));
  ASSERT_EQ(::mkfifo(at("fifo lock.lock").c_str(), 0600), 0);

  const struct {
    const char *name;
    bool usable;
  } locks[] = {
      {"their lock", false}, {"linked lock", false}, {"own linked lock", false},
      {"fifo lock", false},  {"new", true},
  };
  for (const auto &c : locks) {
    bool usable = true;
    try {
      FileLock lock(at(c.name).string());
    } catch (const FileError &) {
      usable = false;
    }
    EXPECT_EQ(usable, c.usable) << c.name;
  }
  EXPECT_FALSE(fs::exists(dir.path() / "made through"));
  EXPECT_EQ(textfile::readBytes(rootOnly.string()), "secret");
  EXPECT_EQ(modeOf(rootOnly), 0600u);
}

} // namespace
} // namespace lw
