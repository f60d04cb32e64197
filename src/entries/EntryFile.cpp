#include "entries/EntryFile.h"

#include "entries/LogonRows.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace lw {

namespace fs = std::filesystem;

std::string ownFile(const StartupEntry &entry, const StartupState &startup) {
  if (entry.kind != EntryKind::AllUsers || entry.file.empty())
    return entry.file;
  const auto folders = startup.entryFolders();
  const fs::path fileName = fs::path(entry.file).filename();
  for (std::size_t i = 1; i < folders.size(); ++i) {
    const fs::path path = fs::path(folders[i]) / fileName;
    std::error_code error;
    if (fs::exists(fs::symlink_status(path, error)))
      return path.string();
  }
  return entry.file;
}

std::string entryFile(const StartupEntry &entry, const Platform &platform) {
  if (entry.logon)
    return logonFileToOpen(platform.logonSources, *entry.logon);
  if (!entry.file.empty())
    return ownFile(entry, platform.startup);
  return platform.shell.programFile(entry.command);
}

std::string entryPublisher(const StartupEntry &entry, const Platform &platform) {
  const std::string program = platform.shell.programFile(entry.command);
  return program.empty() ? std::string() : platform.shell.publisher(program);
}

ShownEntry shownEntry(const StartupEntry &entry, const std::string &file) {
  if (entry.kind == EntryKind::Customized && !entry.logon)
    return {true, entry.name + "\n" + entry.command + "\n" + entry.scheduleLine + "\n", {}};
  if (file.empty())
    return {true, entry.command + "\n", {}};
  std::error_code error;
  // A special file of that name is never opened: reading a pipe could wait for ever.
  if (!fs::is_regular_file(file, error))
    return {false, {}, file + ": not a regular file that can be read"};
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in.good() && !in.eof())
    return {false, {}, file + ": " + std::strerror(errno)};
  return {true, bytes.str(), {}};
}

} // namespace lw
