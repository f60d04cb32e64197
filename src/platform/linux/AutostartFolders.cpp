#include "AutostartFolders.h"

#include "DesktopEntry.h"
#include "support/FileError.h"
#include "support/TextFile.h"

#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace lw {
namespace {

bool isFile(const std::string &path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

} // namespace

AutostartFolders::AutostartFolders(std::vector<std::string> folders,
                                   std::vector<std::string> shadowingFolders,
                                   commandline::FileProbe probe)
    : folders(std::move(folders)), shadowingFolders(std::move(shadowingFolders)),
      probe(std::move(probe)) {}

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
  std::string path = folder;
  path += '/';
  path += name;
  path += suffix;
  return path;
}

bool AutostartFolders::shadowed(std::string_view name) const {
  for (const auto &folder : shadowingFolders)
    if (isFile(fileIn(folder, name)))
      return true;
  return false;
}

std::optional<AutostartFolders::Found> AutostartFolders::lookUp(std::string_view name) const {
  for (const auto &folder : folders) {
    std::string path = fileIn(folder, name);
    if (!isFile(path))
      continue;
    try {
      const auto entry = DesktopEntry::parse(textfile::readBytes(path));
      return Found{path, entry.startsAtLogon(), entry.command(path)};
    } catch (const FileError &) {
      return Found{path, false, {}}; // unreadable: not started, and the name is taken
    }
  }
  return std::nullopt;
}

std::optional<std::string> AutostartFolders::read(std::string_view name) const {
  if (!isSafeName(name) || shadowed(name))
    return std::nullopt;
  const auto found = lookUp(name);
  if (!found || !found->startsAtLogon)
    return std::nullopt;
  return found->command;
}

std::optional<std::vector<std::string>> AutostartFolders::enumerate() const {
  std::set<std::string> fileNames; // byte order: stable whatever the folders return
  for (const auto &folder : folders) {
    std::unique_ptr<DIR, int (*)(DIR *)> listing(::opendir(folder.c_str()), &::closedir);
    if (!listing) {
      if (errno == ENOENT || errno == ENOTDIR)
        continue; // a missing folder is an empty key
      return std::nullopt;
    }
    while (const dirent *item = ::readdir(listing.get())) {
      const std::string_view fileName = item->d_name;
      if (fileName.size() > suffix.size() && fileName.ends_with(suffix))
        fileNames.insert(std::string(fileName.substr(0, fileName.size() - suffix.size())));
    }
  }
  std::vector<std::string> names;
  for (const auto &name : fileNames)
    if (read(name))
      names.push_back(name);
  return names;
}

bool AutostartFolders::write(std::string_view name, std::string_view command) {
  // A desktop entry cannot carry a NUL byte, and a registry string value ends at one.
  if (!isSafeName(name) || command.find('\0') != std::string_view::npos || folders.empty())
    return false;
  // A file of that name in a shadowing folder (the user's) hides whatever is written here: the
  // session would not start it, so the write must not count as done.
  if (shadowed(name))
    return false;
  const std::string path = fileIn(folders.front(), name);
  try {
    DesktopEntry entry;
    if (isFile(path))
      entry = DesktopEntry::parse(textfile::readBytes(path));
    if (!entry.hasMainGroup()) {
      entry = DesktopEntry(); // nothing of a damaged file is worth keeping
      entry.setValue("Type", "Application");
      entry.setValue("Name", desktop::escape(name));
    }
    if (entry.value("Type") != "Application")
      entry.setValue("Type", "Application");
    if (!entry.value("Name"))
      entry.setValue("Name", desktop::escape(name));
    if (entry.command(path) != command)
      entry.removeKey("TryExec"); // it named the program of the old command
    entry.removeKey("Hidden");
    entry.removeKey("X-GNOME-Autostart-enabled");
    entry.setCommand(command, probe);

    std::error_code error;
    std::filesystem::create_directories(folders.front(), error);
    if (error)
      return false;
    textfile::writeAtomically(path, entry.bytes());
    return true;
  } catch (const FileError &) {
    return false;
  }
}

bool AutostartFolders::remove(std::string_view name) {
  if (!isSafeName(name))
    return false;
  // Each removal may uncover the same name in a later folder; that one goes too.
  for (std::size_t round = 0; round < folders.size(); ++round) {
    const auto found = lookUp(name);
    if (!found || !found->startsAtLogon)
      return true; // a Hidden entry stays: removing it would start what it hides
    if (::unlink(found->path.c_str()) != 0 && errno != ENOENT)
      return false;
  }
  return !read(name).has_value();
}

} // namespace lw
