// Atomic replacement and advisory locking on POSIX systems.
#include "FileError.h"
#include "TextFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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
  explicit Descriptor(int fd) : fd(fd) {}
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

} // namespace

void textfile::writeAtomically(const std::string &requested, const std::string &bytes,
                               LinkPolicy links) {
  std::string path = requested;
  if (links == LinkPolicy::Refuse) {
    struct stat entry {};
    if (::lstat(requested.c_str(), &entry) == 0 && !S_ISREG(entry.st_mode))
      throw FileError(requested, "not a regular file");
  } else if (char *real = ::realpath(requested.c_str(), nullptr)) {
    // A data file that is a link to elsewhere is replaced where it really is, so the link stays.
    struct stat link {};
    if (::lstat(requested.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
      path = real;
    std::free(real);
  }
  std::string temporary = path + ".XXXXXX";
  Descriptor out(::mkostemp(temporary.data(), O_CLOEXEC));
  if (out.get() < 0)
    throw FileError(path, std::strerror(errno));

  auto fail = [&](int error) {
    ::unlink(temporary.c_str());
    throw FileError(path, std::strerror(error));
  };

  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat existing {};
  const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
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
  Descriptor directory(::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0)
    ::fsync(directory.get());
}

FileLock::FileLock(const std::string &path) : handle(-1) {
  const std::string lockPath = path + ".lock";
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0)
    throw FileError(lockPath, std::strerror(errno));
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const int error = errno;
      ::close(fd);
      throw FileError(lockPath, std::strerror(error));
    }
  }
  handle = fd;
}

FileLock::~FileLock() {
  if (handle >= 0)
    ::close(static_cast<int>(handle)); // closing releases the lock
}

} // namespace lw
