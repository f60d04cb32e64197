#pragma once
// The files of one Run key: "<name>.desktop" in one or more XDG autostart folders, merged by
// file name with the first folder that holds a name deciding for it. This class knows files,
// not what the session makes of them (XdgStartupState does): it lists, finds and reads them,
// never blocking on a special file and never loading more than a bounded amount.

#include "DesktopEntry.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

class AutostartFolders {
public:
  // newEntryFolder is where an entry of a new name goes; empty means the first folder.
  explicit AutostartFolders(std::vector<std::string> folders, std::string newEntryFolder = {});

  // A folder held open from its listing until the last of its listed files is dropped.
  class OpenFolder;

  struct File {
    std::string name; // the file name without ".desktop": exact bytes
    std::string path;
    // Set by list(): the folder as it was listed. A file loaded through it is looked up by its
    // own name only, not by every folder of its path again.
    std::shared_ptr<const OpenFolder> folder = {};
  };
  // Every "<name>.desktop" directory entry, whatever it is, once per name in byte order; reads
  // no file. Nothing when a folder exists but cannot be listed.
  std::optional<std::vector<File>> list() const;
  // The directory entry that decides for the name, whatever it is.
  std::optional<File> find(std::string_view name) const;
  // Like find, but a name that differs only in the case of ASCII letters also matches when no
  // exact one exists, as names of Run values do.
  std::optional<File> findIgnoringCase(std::string_view name) const;
  // Every folder's directory entry of that name, the deciding one first.
  std::vector<std::string> everyPath(std::string_view name) const;

  std::string pathFor(std::string_view name) const;
  const std::vector<std::string> &paths() const { return folders; }
  const std::string &newFolder() const { return newEntryFolder; }
  const std::vector<std::string> &all() const { return folders; }

  // What reading a file gave: the parsed entry, or the reason it could not be read.
  struct Loaded {
    std::optional<DesktopEntry> entry;
    std::string error;
  };
  // Follows a link to a regular file, as the desktop does; anything else, and a file over
  // maxFileSize, is not read at all.
  static Loaded load(const std::string &path);
  // The same, through the folder the file was listed in when it has one.
  static Loaded load(const File &file);
  // Whether the path itself (not what a link points to) is a regular file: the only thing a
  // write may replace.
  static bool isPlainFile(const std::string &path);
  static bool exists(const std::string &path);

  // A name that is one plain file name: not empty, not "." or "..", no '/', no control
  // character. Anything else could reach outside the folders.
  static bool isSafeName(std::string_view name);

  static constexpr std::string_view suffix = ".desktop";
  // No desktop entry needs more; a larger one is refused unread.
  static constexpr std::size_t maxFileSize = 1 << 20;

private:
  static std::string fileIn(const std::string &folder, std::string_view name);

  std::vector<std::string> folders;
  std::string newEntryFolder;
};

} // namespace lw
