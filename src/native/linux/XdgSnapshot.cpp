// Taking an entry's files as they are and putting exactly those bytes back. The snapshot is
// this file's own format, read nowhere else: length-prefixed fields, so that any bytes of a
// file (CR LF, Latin-1, no last line end) survive unchanged.
#include "XdgStartupState.h"

#include "platform/Registry.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <unistd.h>

namespace lw {
namespace {

constexpr std::string_view snapshotTag = "launchwright-xdg-snapshot-1";

void put(std::string &out, std::string_view field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
  out += '\n';
}

// Takes the next field off the front of `in`; nothing when it is not one.
std::optional<std::string_view> take(std::string_view &in) {
  const auto colon = in.find(':');
  if (colon == std::string_view::npos || colon == 0)
    return std::nullopt;
  std::size_t size = 0;
  const auto [end, error] = std::from_chars(in.data(), in.data() + colon, size);
  if (error != std::errc() || end != in.data() + colon || size > in.size() - colon - 1 ||
      in.size() - colon - 1 - size < 1 || in[colon + 1 + size] != '\n')
    return std::nullopt;
  const auto field = in.substr(colon + 1, size);
  in.remove_prefix(colon + 2 + size);
  return field;
}

struct EntryFiles {
  struct Placed {
    std::string folder;
    std::string bytes;
  };
  std::vector<Placed> files; // the deciding one first
  std::optional<std::string> switchFile;
};

std::string encode(const EntryFiles &files) {
  std::string out;
  put(out, snapshotTag);
  put(out, std::to_string(files.files.size()));
  for (const auto &file : files.files) {
    put(out, file.folder);
    put(out, file.bytes);
  }
  put(out, files.switchFile ? "switch" : "");
  if (files.switchFile)
    put(out, *files.switchFile);
  return out;
}

std::optional<EntryFiles> decode(std::string_view in) {
  const auto tag = take(in);
  const auto count = take(in);
  if (!tag || *tag != snapshotTag || !count)
    return std::nullopt;
  std::size_t files = 0;
  const auto [end, error] = std::from_chars(count->data(), count->data() + count->size(), files);
  if (error != std::errc() || end != count->data() + count->size() || files == 0 || files > 64)
    return std::nullopt;
  EntryFiles decoded;
  for (std::size_t i = 0; i < files; ++i) {
    const auto folder = take(in);
    const auto bytes = take(in);
    if (!folder || !bytes)
      return std::nullopt;
    decoded.files.push_back({std::string(*folder), std::string(*bytes)});
  }
  const auto hasSwitch = take(in);
  if (!hasSwitch)
    return std::nullopt;
  if (*hasSwitch == "switch") {
    const auto bytes = take(in);
    if (!bytes)
      return std::nullopt;
    decoded.switchFile = std::string(*bytes);
  } else if (!hasSwitch->empty()) {
    return std::nullopt;
  }
  if (!in.empty())
    return std::nullopt;
  return decoded;
}

std::string folderOf(const std::string &path) { return path.substr(0, path.rfind('/')); }

std::optional<std::string> plainBytes(const std::string &path) {
  if (!AutostartFolders::isPlainFile(path))
    return std::nullopt;
  try {
    return textfile::readBytes(path, AutostartFolders::maxFileSize);
  } catch (const FileError &) {
    return std::nullopt;
  }
}

// The changes of one restore, undone in reverse when a later one fails. A file it creates in
// one of `shared` (the machine's folders) is one every user's session reads.
class Changes {
public:
  explicit Changes(std::vector<std::string> sharedFolders) : shared(std::move(sharedFolders)) {}

  bool write(const std::string &path, const std::string &bytes) {
    if (!remember(path))
      return false;
    makeFolders(folderOf(path));
    try {
      textfile::writeAtomically(path, bytes, textfile::LinkPolicy::Refuse, accessFor(path));
      textfile::removeStaleTemporaries(folderOf(path), AutostartFolders::suffix);
      return true;
    } catch (const FileError &) {
      return false;
    }
  }
  bool remove(const std::string &path) {
    return remember(path) && (::unlink(path.c_str()) == 0 || errno == ENOENT);
  }
  void undo() {
    for (auto it = before.rbegin(); it != before.rend(); ++it) {
      if (it->second) {
        try {
          textfile::writeAtomically(it->first, *it->second, textfile::LinkPolicy::Refuse,
                                    accessFor(it->first));
        } catch (const FileError &) {
          // As far back as the folder lets us; the first failure already was the refusal.
        }
      } else {
        ::unlink(it->first.c_str());
      }
    }
    for (auto it = made.rbegin(); it != made.rend(); ++it)
      ::rmdir(it->c_str()); // only while empty: nothing of anyone else's goes with it
  }

private:
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

  // Only a regular file or nothing may stand where a restore writes or removes.
  bool remember(const std::string &path) {
    if (!AutostartFolders::exists(path)) {
      before.emplace_back(path, std::nullopt);
      return true;
    }
    auto bytes = plainBytes(path);
    if (!bytes)
      return false;
    before.emplace_back(path, std::move(bytes));
    return true;
  }

  std::vector<std::string> shared;
  std::vector<std::pair<std::string, std::optional<std::string>>> before;
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
    auto bytes = plainBytes(path);
    if (!bytes)
      return std::nullopt;
    files.files.push_back({folderOf(path), std::move(*bytes)});
  }
  if (files.files.empty())
    return std::nullopt;
  if (root == RegistryRoot::LocalMachine)
    if (const auto switchFile = machineSwitch(name)) {
      files.switchFile = plainBytes(switchFile->path);
      if (!files.switchFile)
        return std::nullopt;
    }
  return encode(files);
}

bool XdgStartupState::restoreSnapshot(RegistryRoot root, std::string_view name,
                                      std::string_view snapshot) {
  const auto files = decode(snapshot);
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
  std::vector<std::pair<std::string, const std::string *>> targets;
  for (const auto &file : files->files) {
    const bool ofKey =
        std::find(keyFolders.begin(), keyFolders.end(), file.folder) != keyFolders.end();
    if (ofKey)
      targets.emplace_back(file.folder + "/" + fileName, &file.bytes);
    else if (targets.empty())
      targets.emplace_back(own.newFolder() + "/" + fileName, &file.bytes);
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
  for (const auto &[path, bytes] : targets)
    done = done && changes.write(path, *bytes);
  for (const auto &path : stale)
    done = done && changes.remove(path);
  if (done && root == RegistryRoot::LocalMachine) {
    if (files->switchFile) {
      done = changes.write(user.pathFor(name), *files->switchFile);
    } else if (const auto switchFile = machineSwitch(name)) {
      // A switch that only holds Hidden came after the snapshot; a user's own copy stays.
      const auto loaded = AutostartFolders::load(switchFile->path);
      if (loaded.entry && !loaded.entry->value("Exec"))
        done = changes.remove(switchFile->path);
    }
  }
  if (!done)
    changes.undo();
  return done;
}

} // namespace lw
