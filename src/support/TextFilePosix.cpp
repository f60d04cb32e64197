// Bounded reading, atomic replacement and advisory locking on POSIX systems.
#include "FileError.h"
#include "TextFile.h"
#include "TextFileDetail.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <iterator>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace lw {

namespace {

std::string directoryOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

class Descriptor {
public:
  explicit Descriptor(int opened) : fd(opened) {}
  ~Descriptor() {
    if (fd >= 0)
      ::close(fd);
  }
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;
  int get() const { return fd; }
  int release() { return std::exchange(fd, -1); }

private:
  int fd;
};

bool isTemporaryTail(std::string_view tail) {
  if (tail.size() != 7 || tail.front() != '.')
    return false;
  for (const char c : tail.substr(1))
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
      return false;
  return true;
}

// The temporary of a name too long to take mkostemp's six letters: short, and unmistakably ours.
constexpr std::string_view shortTemporaryStem = ".launchwright";

bool isShortTemporaryName(std::string_view name) {
  return name.size() == shortTemporaryStem.size() + 7 && name.starts_with(shortTemporaryStem) &&
         isTemporaryTail(name.substr(shortTemporaryStem.size()));
}

// mkostemp's name: the target's, a dot and six letters or digits.
bool isOwnTemporaryName(std::string_view name, std::string_view target) {
  return name.size() == target.size() + 7 && name.starts_with(target) &&
         isTemporaryTail(name.substr(target.size()));
}

// The same for the temporary of any "<name><suffix>".
bool isTemporaryOfSuffix(std::string_view name, std::string_view suffix) {
  if (name.size() <= suffix.size() + 7)
    return false;
  const auto target = name.substr(0, name.size() - 7);
  return target.ends_with(suffix) && isTemporaryTail(name.substr(target.size()));
}

// Temporaries left by writes that were killed before their rename. A writer in progress keeps
// touching its file until the rename, so one untouched for the stale age is nobody's any more.
template <typename Ours> void removeStaleIn(const std::string &directory, const Ours &ours) {
  DIR *listing = ::opendir(directory.c_str());
  if (!listing)
    return;
  const std::time_t staleBefore = std::time(nullptr) - textfile::staleTemporaryAgeSeconds;
  while (const dirent *item = ::readdir(listing)) {
    if (!ours(std::string_view(item->d_name)))
      continue;
    struct stat info {};
    if (::fstatat(::dirfd(listing), item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_mtime < staleBefore)
      ::unlinkat(::dirfd(listing), item->d_name, 0);
  }
  ::closedir(listing);
}

void removeStaleTemporariesOf(const std::string &path) {
  const auto slash = path.find_last_of('/');
  const std::string target = slash == std::string::npos ? path : path.substr(slash + 1);
  removeStaleIn(directoryOf(path), [&target](std::string_view name) {
    return isOwnTemporaryName(name, target) || isShortTemporaryName(name);
  });
}

bool isOwnOrRoots(uid_t owner) { return owner == ::geteuid() || owner == 0; }

// A link this process may follow, or create a file through: its own user's or root's, or one
// in a folder only they may change. Any other was placed by another user, who chose where
// it leads.
bool mayFollow(const std::string &path, const struct stat &link) {
  struct stat folder {};
  return isOwnOrRoots(link.st_uid) ||
         (::stat(directoryOf(path).c_str(), &folder) == 0 && isOwnOrRoots(folder.st_uid) &&
          (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0);
}

// Where the file at `requested` really is, each link on the way checked before it is followed
// and read once, so that a link swapped afterwards leads nowhere new. A dangling link is
// replaced itself.
std::string followLinks(const std::string &requested) {
  std::string path = requested;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat entry {};
    if (::lstat(path.c_str(), &entry) != 0)
      return hop == 0 ? path : requested;
    if (!S_ISLNK(entry.st_mode))
      return path;
    if (!mayFollow(path, entry))
      throw FileError(requested, "a link of another user's");
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
    if (length < 0 || static_cast<std::size_t>(length) == sizeof target)
      throw FileError(requested, std::strerror(length < 0 ? errno : ENAMETOOLONG));
    const std::string next(target, static_cast<std::size_t>(length));
    path = next.starts_with('/') ? next : directoryOf(path) + "/" + next;
  }
  throw FileError(requested, std::strerror(ELOOP));
}

// The process's umask, read without changing it: umask() sets it, for every thread at once.
mode_t currentUmask() {
  if (std::FILE *status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status))
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    if (found)
      return static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(077); // stricter for the moment it is set, never looser
  ::umask(mask);
  return mask;
}

} // namespace

std::size_t textfile::longestFileName(const std::string &folder) {
  std::string at = folder.empty() ? "." : folder;
  while (true) {
    errno = 0;
    const long longest = ::pathconf(at.c_str(), _PC_NAME_MAX);
    // No file system here takes more than NAME_MAX, whatever it says: readdir could not list it.
    if (longest > 0)
      return std::min<std::size_t>(static_cast<std::size_t>(longest), NAME_MAX);
    const std::string above = directoryOf(at);
    if (errno == 0 || above == at)
      return NAME_MAX;
    at = above;
  }
}

void textfile::removeStaleTemporaries(const std::string &folder, std::string_view suffix) {
  removeStaleIn(folder, [suffix](std::string_view name) {
    return isTemporaryOfSuffix(name, suffix) || isShortTemporaryName(name);
  });
}

std::string textfile::readBytes(const std::string &path, std::size_t limit) {
  return readBytesAt(AT_FDCWD, path.c_str(), path, limit);
}

std::string textfile::readBytesAt(int folderFd, const char *name, const std::string &path,
                                  std::size_t limit) {
  // Non-blocking, so that a FIFO put where a file was expected cannot stall the open; the
  // descriptor itself is then checked, so nothing can be swapped in between check and read.
  int fd;
  while ((fd = ::openat(folderFd, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC)) < 0 && errno == EINTR) {
  }
  Descriptor in(fd);
  if (in.get() < 0)
    throw FileError(path, std::strerror(errno));
  struct stat info {};
  if (::fstat(in.get(), &info) != 0)
    throw FileError(path, std::strerror(errno));
  if (!S_ISREG(info.st_mode))
    throw FileError(path, notRegularReason);
  const auto size = static_cast<std::size_t>(info.st_size);
  if (size > limit)
    throw detail::tooLarge(path, limit);

  std::string bytes(size + 1, '\0');
  std::size_t have = 0;
  while (true) {
    if (have == bytes.size())
      bytes.resize(detail::readCapacity(have, limit));
    const std::size_t wanted = bytes.size() - have;
    const ssize_t got = ::read(in.get(), bytes.data() + have, wanted);
    if (got < 0) {
      if (errno == EINTR)
        continue;
      throw FileError(path, std::strerror(errno));
    }
    if (got == 0)
      break;
    have += static_cast<std::size_t>(got);
    if (have > limit)
      throw detail::tooLarge(path, limit);
    // A regular file that gives its whole size and less than was asked for is at its end;
    // asking again would only cost another call per file.
    if (have == size && static_cast<std::size_t>(got) < wanted)
      break;
  }
  bytes.resize(have);
  return bytes;
}

void textfile::writeAtomically(const std::string &requested, const std::string &bytes,
                               LinkPolicy links, NewFileAccess access) {
  writeAtomically(requested, bytes, links, access, FileStanding{});
}

void textfile::writeAtomically(const std::string &requested, const std::string &bytes,
                               LinkPolicy links, NewFileAccess access,
                               const FileStanding &standing) {
  std::string path = requested;
  if (links == LinkPolicy::Refuse) {
    struct stat entry {};
    if (::lstat(requested.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode))
      throw FileError(requested, notRegularReason);
  } else {
    // A data file that is a link to elsewhere is replaced where it really is, so the link stays.
    path = followLinks(requested);
    // A FIFO, device or directory where a data file belongs is named, not replaced.
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode))
      throw FileError(requested, notRegularReason);
  }
  const std::string directory = directoryOf(path);
  const auto nameStart = path.find_last_of('/') + 1; // 0 without a slash
  std::string temporary = path + ".XXXXXX";
  if (temporary.size() - nameStart > textfile::longestFileName(directory))
    temporary = path.substr(0, nameStart) + std::string(shortTemporaryStem) + ".XXXXXX";
  Descriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
  if (out.get() < 0)
    throw FileError(path, std::strerror(errno));

  auto fail = [&](int error) {
    ::unlink(temporary.c_str());
    throw FileError(path, std::strerror(error));
  };

  // Keep the permissions of the file being replaced. A new one gets what the umask allows (a
  // user who chose 077 may keep a password in a command), or what others must have to read it.
  struct stat existing {};
  const mode_t mode = standing.mode                            ? (*standing.mode & 07777)
                      : ::stat(path.c_str(), &existing) == 0   ? (existing.st_mode & 07777)
                      : access == NewFileAccess::EveryoneReads ? 0644
                                                               : (0666 & ~currentUmask());
  // Before the mode: a change of owner clears the set-id bits.
  if (standing.owner) {
    [[maybe_unused]] const int given =
        ::fchown(out.get(), standing.owner->first, standing.owner->second);
  }
  if (::fchmod(out.get(), mode) != 0)
    fail(errno);

  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(out.get(), bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      fail(errno);
    }
    written += static_cast<std::size_t>(n);
  }
  if (::fsync(out.get()) != 0)
    fail(errno);
  if (::close(out.release()) != 0)
    fail(errno);
  if (::rename(temporary.c_str(), path.c_str()) != 0)
    fail(errno);

  // Make the rename itself durable; a failure here leaves a complete file either way.
  Descriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0)
    ::fsync(folder.get());
  removeStaleTemporariesOf(path);
}

void textfile::appendLines(const std::string &path, const std::string &bytes) {
  Descriptor out(::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0644));
  struct stat info {};
  if (out.get() < 0 || ::fstat(out.get(), &info) != 0)
    throw FileError(path, std::strerror(errno));
  if (!S_ISREG(info.st_mode))
    throw FileError(path, notRegularReason);
  // Back to the end of the last whole line.
  off_t keep = info.st_size;
  char tail[4096];
  while (keep > 0) {
    const off_t from = std::max<off_t>(0, keep - static_cast<off_t>(sizeof tail));
    const ssize_t got = ::pread(out.get(), tail, static_cast<std::size_t>(keep - from), from);
    if (got <= 0)
      throw FileError(path, got < 0 ? std::strerror(errno) : "the file shrank while read");
    const char *lastEnd = tail + got;
    while (lastEnd != tail && lastEnd[-1] != '\n')
      --lastEnd;
    if (lastEnd != tail) {
      keep = from + (lastEnd - tail);
      break;
    }
    keep = from;
  }
  if (keep != info.st_size && ::ftruncate(out.get(), keep) != 0)
    throw FileError(path, std::strerror(errno));
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(out.get(), bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      throw FileError(path, std::strerror(errno));
    written += static_cast<std::size_t>(n);
  }
  if (::fdatasync(out.get()) != 0)
    throw FileError(path, std::strerror(errno));
}

FileLock::FileLock(const std::string &path) : handle(-1) {
  const std::string lockPath = path + ".lock";
  // Never through a link, and never waiting on a FIFO's open.
  Descriptor fd(
      ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0)
    throw FileError(lockPath, std::strerror(errno));
  if (!S_ISREG(info.st_mode))
    throw FileError(lockPath, textfile::notRegularReason);
  if (!isOwnOrRoots(info.st_uid))
    throw FileError(lockPath, "a file of another user's");
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR)
      throw FileError(lockPath, std::strerror(errno));
  }
  handle = fd.release();
}

FileLock::~FileLock() {
  if (handle >= 0)
    ::close(static_cast<int>(handle)); // closing releases the lock
}

} // namespace lw
