#pragma once
// A Run key seen as XDG autostart folders: every value is one desktop entry file
// "<name>.desktop" whose data is the command the session runs at logon.
//
// Several folders merge by file name, the first folder that holds a name deciding for it, and
// a file in a shadowing folder (the user's, for the system folders) hides the name completely,
// as the XDG Autostart rules say. Only entries that really start are values: a Hidden or
// disabled entry is not one, but it still hides the same name further down.

#include "CommandLine.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

class AutostartFolders {
public:
  explicit AutostartFolders(std::vector<std::string> folders,
                            std::vector<std::string> shadowingFolders = {},
                            commandline::FileProbe probe = commandline::isExistingFile);

  std::optional<std::string> read(std::string_view name) const;
  // File name order; nothing when a folder exists but cannot be listed.
  std::optional<std::vector<std::string>> enumerate() const;
  // Creates or updates the entry in the first folder and leaves it enabled; false, writing
  // nothing, when a shadowing folder holds the name, since the session would not start it.
  bool write(std::string_view name, std::string_view command);
  // True when no folder starts the name afterwards.
  bool remove(std::string_view name);

  // A name that is one plain file name: not empty, not "." or "..", no '/', no control
  // character. Anything else could reach outside the folders.
  static bool isSafeName(std::string_view name);

  static constexpr std::string_view suffix = ".desktop";

private:
  static std::string fileIn(const std::string &folder, std::string_view name);
  // The entry that decides for a name, or nothing when no folder holds a file of that name.
  struct Found {
    std::string path;
    bool startsAtLogon;
    std::string command;
  };
  std::optional<Found> lookUp(std::string_view name) const;
  bool shadowed(std::string_view name) const;

  std::vector<std::string> folders;
  std::vector<std::string> shadowingFolders;
  commandline::FileProbe probe;
};

} // namespace lw
