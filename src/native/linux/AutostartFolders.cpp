#include "AutostartFolders.h"

#include "platform/Registry.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace lw {

class AutostartFolders::OpenFolder {
public:
  OpenFolder() = default;
  ~OpenFolder() {
    if (fd >= 0)
      ::close(fd);
  }
  OpenFolder(const OpenFolder &) = delete;
  OpenFolder &operator=(const OpenFolder &) = delete;

  int fd = -1;
};

namespace {

struct FolderListing {
  std::vector<std::string> names;
  std::shared_ptr<const AutostartFolders::OpenFolder> folder; // none when it does not exist
};

// The names of the folder's "*.desktop" entries and the folder kept open to read them through;
// nothing when it cannot be listed, an empty list when it does not exist.
std::optional<FolderListing> namesIn(const std::string &folder) {
  FolderListing found;
  // Allocated before the open, so that nothing can fail between the open and its owner.
  auto open = std::make_shared<AutostartFolders::OpenFolder>();
  int fd;
  while ((fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC)) < 0 &&
         errno == EINTR) {
  }
  open->fd = fd;
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR)
      return found;
    return std::nullopt;
  }
  // The stream takes a descriptor of its own: the folder's stays open after the stream closes.
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  std::unique_ptr<DIR, int (*)(DIR *)> listing(copy >= 0 ? ::fdopendir(copy) : nullptr,
                                               &::closedir);
  if (!listing) {
    if (copy >= 0)
      ::close(copy);
    return std::nullopt;
  }
  constexpr auto suffix = AutostartFolders::suffix;
  while (const dirent *item = ::readdir(listing.get())) {
    const std::string_view fileName = item->d_name;
    if (fileName.size() > suffix.size() && fileName.ends_with(suffix))
      found.names.emplace_back(fileName.substr(0, fileName.size() - suffix.size()));
  }
  found.folder = std::move(open);
  return found;
}

} // namespace

AutostartFolders::AutostartFolders(std::vector<std::string> searched, std::string newEntries)
    : folders(std::move(searched)), newEntryFolder(std::move(newEntries)) {
  if (this->newEntryFolder.empty() && !this->folders.empty())
    this->newEntryFolder = this->folders.front();
}

bool AutostartFolders::isSafeName(std::string_view name) {
  if (name.empty() || name == "." || name == "..")
    return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || byte < 0x20 || byte == 0x7F)
      return false;
  }
  return true;
}

std::string AutostartFolders::fileIn(const std::string &folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size() + suffix.size());
  path += folder;
  path += '/';
  path += name;
  path += suffix;
  return path;
}

std::string AutostartFolders::pathFor(std::string_view name) const {
  return fileIn(newEntryFolder, name);
}

bool AutostartFolders::exists(const std::string &path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool AutostartFolders::isPlainFile(const std::string &path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::vector<AutostartFolders::File>> AutostartFolders::list() const {
  std::vector<std::string> names;
  std::vector<std::size_t> folderOf; // by name: the index of the folder that holds it
  std::vector<std::shared_ptr<const OpenFolder>> open(folders.size());
  for (std::size_t folder = 0; folder < folders.size(); ++folder) {
    auto found = namesIn(folders[folder]);
    if (!found)
      return std::nullopt;
    names.insert(names.end(), std::make_move_iterator(found->names.begin()),
                 std::make_move_iterator(found->names.end()));
    folderOf.resize(names.size(), folder);
    open[folder] = std::move(found->folder);
  }
  // Byte order, stable whatever order the folders list their names in; of equal names the
  // first folder's stays. Sorting positions moves no text around.
  std::vector<std::uint32_t> order(names.size());
  for (std::uint32_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::sort(order.begin(), order.end(), [&names](std::uint32_t a, std::uint32_t b) {
    const int compared = names[a].compare(names[b]);
    return compared != 0 ? compared < 0 : a < b;
  });
  std::vector<File> files;
  files.reserve(names.size());
  for (const std::uint32_t i : order)
    if (files.empty() || files.back().name != names[i]) {
      auto path = fileIn(folders[folderOf[i]], names[i]);
      files.push_back({std::move(names[i]), std::move(path), open[folderOf[i]]});
    }
  return files;
}

std::optional<AutostartFolders::File> AutostartFolders::find(std::string_view name) const {
  if (!isSafeName(name))
    return std::nullopt;
  for (const auto &folder : folders)
    if (auto path = fileIn(folder, name); exists(path))
      return File{std::string(name), std::move(path)};
  return std::nullopt;
}

std::optional<AutostartFolders::File>
AutostartFolders::findIgnoringCase(std::string_view name) const {
  if (auto exact = find(name))
    return exact;
  if (!isSafeName(name))
    return std::nullopt;
  for (const auto &folder : folders)
    if (const auto listed = namesIn(folder))
      for (const auto &candidate : listed->names)
        if (sameRegistryName(candidate, name))
          return File{candidate, fileIn(folder, candidate)};
  return std::nullopt;
}

std::vector<std::string> AutostartFolders::everyPath(std::string_view name) const {
  std::vector<std::string> paths;
  if (isSafeName(name))
    for (const auto &folder : folders)
      if (auto path = fileIn(folder, name); exists(path))
        paths.push_back(std::move(path));
  return paths;
}

namespace {

AutostartFolders::Loaded loadAt(int folderFd, const char *name, const std::string &path) {
  try {
    return {DesktopEntry::fromBytes(
                textfile::readBytesAt(folderFd, name, path, AutostartFolders::maxFileSize)),
            {}};
  } catch (const FileError &error) {
    return {std::nullopt, error.reason()};
  }
}

} // namespace

AutostartFolders::Loaded AutostartFolders::load(const std::string &path) {
  return loadAt(AT_FDCWD, path.c_str(), path);
}

AutostartFolders::Loaded AutostartFolders::load(const File &file) {
  const std::size_t fileNameSize = file.name.size() + suffix.size();
  if (!file.folder || file.path.size() <= fileNameSize)
    return load(file.path);
  // The path ends in the file's own name, as fileIn made it.
  return loadAt(file.folder->fd, file.path.c_str() + (file.path.size() - fileNameSize), file.path);
}

} // namespace lw
