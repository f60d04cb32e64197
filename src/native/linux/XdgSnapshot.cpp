// Taking an entry's files as they are and putting exactly those back: their bytes, mode and
// owner, and a link as the link it was. The bytes are in XdgSnapshotFormat.h.
#include "XdgSnapshotFormat.h"
#include "XdgStartupState.h"

#include "platform/Registry.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace lw {
namespace {

using xdgsnapshot::EntryFiles;
using xdgsnapshot::Taken;

std::string folderOf(const std::string &path) { return path.substr(0, path.rfind('/')); }

// A regular file, or a link to one, as it stands: every mode and owner, which a snapshot then
// trims to what differs from a plain write.
std::optional<Taken> take(const std::string &path) {
  struct stat entry {};
  if (::lstat(path.c_str(), &entry) != 0)
    return std::nullopt;
  Taken taken;
  struct stat file = entry;
  if (S_ISLNK(entry.st_mode)) {
    std::string target(PATH_MAX, '\0');
    const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
    if (size <= 0 || static_cast<std::size_t>(size) >= target.size() ||
        ::stat(path.c_str(), &file) != 0)
      return std::nullopt;
    target.resize(static_cast<std::size_t>(size));
    taken.link = std::move(target);
  }
  if (!S_ISREG(file.st_mode))
    return std::nullopt;
  try {
    taken.bytes = textfile::readBytes(path, AutostartFolders::maxFileSize);
  } catch (const FileError &) {
    return std::nullopt;
  }
  taken.standing.mode = file.st_mode & 07777;
  taken.standing.owner = {entry.st_uid, entry.st_gid};
  return taken;
}

// Only what a plain write would not give: a mode other than 0644, an owner other than the
// taker's. A plain file of its writer's keeps the snapshot older versions wrote.
Taken trimmed(Taken taken) {
  if (taken.standing.mode == 0644u)
    taken.standing.mode.reset();
  if (taken.standing.owner == std::pair<unsigned, unsigned>(::geteuid(), ::getegid()))
    taken.standing.owner.reset();
  return taken;
}

// Whether a link that reads so, at the path, would lead to a regular file now.
bool leadsToFile(const std::string &path, const std::string &link) {
  const std::string target = link.front() == '/' ? link : folderOf(path) + "/" + link;
  struct stat file {};
  return ::stat(target.c_str(), &file) == 0 && S_ISREG(file.st_mode);
}

// Puts a link that reads so at the path, replacing whatever is there in one step.
bool makeLink(const std::string &path, const std::string &link,
              const std::optional<std::pair<unsigned, unsigned>> &owner) {
  // The changes are locked, so one name per process is enough; its name is no entry's.
  const std::string temporary =
      folderOf(path) + "/.launchwright-link-" + std::to_string(::getpid());
  ::unlink(temporary.c_str()); // one a killed restore left
  if (::symlink(link.c_str(), temporary.c_str()) != 0)
    return false;
  if (owner) {
    [[maybe_unused]] const int given = ::lchown(temporary.c_str(), owner->first, owner->second);
  }
  if (::rename(temporary.c_str(), path.c_str()) == 0)
    return true;
  ::unlink(temporary.c_str());
  return false;
}

bool isLink(const std::string &path) {
  struct stat entry {};
  return ::lstat(path.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode);
}

// The changes of one restore, undone in reverse when a later one fails. A file it creates in
// one of `shared` (the machine's folders) is one every user's session reads.
class Changes {
public:
  explicit Changes(std::vector<std::string> sharedFolders) : shared(std::move(sharedFolders)) {}

  // A link comes back as a link while it leads to a file; else, and where the folder takes no
  // link, as a file with the bytes it led to, noted in `instead`.
  bool put(const std::string &path, const Taken &file) {
    if (!remember(path))
      return failedAt(path, textfile::notRegularReason);
    makeFolders(folderOf(path));
    if (file.link) {
      if (leadsToFile(path, *file.link) && makeLink(path, *file.link, file.standing.owner))
        return true;
      if (instead.link.empty()) {
        instead.link = path;
        instead.linkTarget = *file.link;
      }
    }
    try {
      place(path, file);
      textfile::removeStaleTemporaries(folderOf(path), AutostartFolders::suffix);
      return true;
    } catch (const FileError &error) {
      return failedAt(error.path(), error.reason());
    }
  }
  bool remove(const std::string &path) {
    if (!remember(path))
      return failedAt(path, textfile::notRegularReason);
    return ::unlink(path.c_str()) == 0 || errno == ENOENT || failedAt(path, std::strerror(errno));
  }
  void undo() {
    for (auto it = before.rbegin(); it != before.rend(); ++it) {
      if (!it->second) {
        ::unlink(it->first.c_str());
      } else if (it->second->link) {
        makeLink(it->first, *it->second->link, it->second->standing.owner);
      } else {
        try {
          place(it->first, *it->second);
        } catch (const FileError &) {
          // As far back as the folder lets us; the first failure already was the refusal.
        }
      }
    }
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      ::rmdir(it->c_str()); // only while empty: nothing of anyone else's goes with it
  }

  SnapshotRestore instead;

private:
  bool failedAt(const std::string &path, const std::string &reason) {
    if (instead.failed.empty())
      instead.failed = FileError(path, reason).what();
    return false;
  }

  // The bytes as a file of their own: a link in the way was remembered and goes, as the write
  // never follows one.
  void place(const std::string &path, const Taken &file) const {
    if (isLink(path) && ::unlink(path.c_str()) != 0)
      throw FileError(path, std::strerror(errno));
    textfile::writeAtomically(path, file.bytes, textfile::LinkPolicy::Refuse, accessFor(path),
                              file.standing);
  }

  textfile::NewFileAccess accessFor(const std::string &path) const {
    return std::find(shared.begin(), shared.end(), folderOf(path)) != shared.end()
               ? textfile::NewFileAccess::EveryoneReads
               : textfile::NewFileAccess::Umask;
  }

  // Makes the folder and those above it that are missing, noting each one made.
  void makeFolders(const std::string &folder) {
    namespace fs = std::filesystem;
    std::error_code error;
    std::vector<fs::path> missing;
    for (fs::path at(folder); at.has_relative_path() && !fs::exists(fs::symlink_status(at, error));
         at = at.parent_path())
      missing.push_back(at);
    fs::create_directories(folder, error);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
      if (fs::is_directory(fs::symlink_status(*it, error)))
        made.push_back(it->string());
  }

  // Only a regular file, a link to one or nothing may stand where a restore writes or removes.
  bool remember(const std::string &path) {
    if (!AutostartFolders::exists(path)) {
      before.emplace_back(path, std::nullopt);
      return true;
    }
    auto file = take(path);
    if (!file)
      return false;
    before.emplace_back(path, std::move(file));
    return true;
  }

  std::vector<std::string> shared;
  std::vector<std::pair<std::string, std::optional<Taken>>> before;
  std::vector<std::string> made; // outermost first
};

} // namespace

std::optional<std::string> XdgStartupState::snapshot(RegistryRoot root, std::string_view name) {
  if (!AutostartFolders::isSafeName(name))
    return std::nullopt;
  if (root == RegistryRoot::CurrentUser && machineSwitch(name))
    return std::nullopt; // the machine entry's switch, no entry of the user key
  EntryFiles files;
  for (const auto &path : folders(root).everyPath(name)) {
    auto file = take(path);
    if (!file)
      return std::nullopt;
    files.files.push_back({folderOf(path), trimmed(std::move(*file))});
  }
  if (files.files.empty())
    return std::nullopt;
  if (root == RegistryRoot::LocalMachine)
    if (const auto switchFile = machineSwitch(name)) {
      auto file = take(switchFile->path);
      if (!file)
        return std::nullopt;
      files.switchFile = trimmed(std::move(*file));
    }
  return xdgsnapshot::encode(files);
}

SnapshotRestore XdgStartupState::restoreSnapshot(RegistryRoot root, std::string_view name,
                                                 std::string_view snapshot) {
  const auto files = xdgsnapshot::decode(snapshot);
  if (!files || !AutostartFolders::isSafeName(name))
    return false;
  const auto lock = lockChanges();
  if (!lock)
    return false;
  auto &own = folders(root);
  const auto &keyFolders = own.all();
  const std::string fileName = std::string(name) + std::string(AutostartFolders::suffix);

  // Where each file goes: the folder it came from while it is still one of the key's; else the
  // deciding file goes where new entries go, and the others, which it would hide, are dropped.
  std::vector<std::pair<std::string, const Taken *>> targets;
  for (const auto &file : files->files) {
    const bool ofKey =
        std::find(keyFolders.begin(), keyFolders.end(), file.folder) != keyFolders.end();
    if (ofKey)
      targets.emplace_back(file.folder + "/" + fileName, &file.file);
    else if (targets.empty())
      targets.emplace_back(own.newFolder() + "/" + fileName, &file.file);
  }
  if (targets.empty())
    return false;
  const auto written = [&targets](const std::string &path) {
    return std::any_of(targets.begin(), targets.end(),
                       [&path](const auto &target) { return target.first == path; });
  };

  // Whatever holds the name now goes: its other folders' files and those of a name that
  // differs only in case, which the caller has recorded first.
  std::vector<std::string> stale;
  for (const auto &path : own.everyPath(name))
    if (!written(path))
      stale.push_back(path);
  if (const auto listed = own.list())
    for (const auto &file : *listed)
      if (file.name != name && sameRegistryName(file.name, name))
        for (auto &path : own.everyPath(file.name))
          stale.push_back(std::move(path));

  Changes changes(root == RegistryRoot::LocalMachine ? keyFolders : std::vector<std::string>());
  bool done = true;
  for (const auto &[path, file] : targets)
    done = done && changes.put(path, *file);
  for (const auto &path : stale)
    done = done && changes.remove(path);
  if (done && root == RegistryRoot::LocalMachine) {
    if (files->switchFile) {
      done = changes.put(user.pathFor(name), *files->switchFile);
    } else if (const auto switchFile = machineSwitch(name)) {
      // A switch that only holds Hidden came after the snapshot; a user's own copy stays.
      const auto loaded = AutostartFolders::load(switchFile->path);
      if (loaded.entry && !loaded.entry->value("Exec"))
        done = changes.remove(switchFile->path);
    }
  }
  if (!done) {
    changes.undo();
    SnapshotRestore failed;
    failed.failed = std::move(changes.instead.failed);
    return failed;
  }
  changes.instead.done = true;
  return changes.instead;
}

} // namespace lw
