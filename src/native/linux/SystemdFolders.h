#pragma once
// What the unit folders themselves say about the systemd user units: whose links pull a unit in,
// which units are masked, and the state systemctl is-enabled would print where the folders alone
// decide it, so that a listing asks the manager only about the rest.

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace lw::unitfolders {

// What a unit file's folder says about its owner, in the order a row names the strongest.
enum class Owner { User, UserPackage, Admin, Vendor };

// Whether the path is the folder or lies inside it.
bool isWithin(const std::string &path, const std::string &folder);

// Whose link pulls a unit in, by the folder the link lies in.
Owner ownerOf(const std::string &folder);

// The folders generators write to; the XDG autostart generator's units are autostart entries.
bool generated(const std::string &path);

// "service", "socket", ...: the unit's type.
std::string typeOf(const std::string &unit);

// A link in a folder of the unit path: in `parent`.wants/.requires/.upholds, or a mask.
struct Link {
  std::string folder;
  std::string parent; // the unit whose folder holds the link; empty for a link of its own name
  std::string target; // what the link points at
};

// The links of every folder of the unit path, by the unit name they carry.
struct FolderIndex {
  std::map<std::string, std::vector<Link>> pulls; // links in .wants/.requires/.upholds folders
  std::map<std::string, Link> own; // the first file or link of the name in the path's order
  std::set<std::string> masks;     // units whose first entry is /dev/null
  std::map<std::string, std::vector<std::filesystem::path>> dropIns; // "name.d" folders, by name
  std::set<std::string> aliased; // units a link of another name points at
};

// The links and files of the folders of the unit path, in the manager's order of precedence.
FolderIndex indexFolders(const std::vector<std::string> &folders);

// The state is-enabled prints, where the folders alone tell it; empty where the manager must be
// asked.
std::string stateFromFolders(const std::string &name, const FolderIndex &index);

// Whether a unit file says where enabling would link it.
bool installable(const std::string &file);

// What the manager must be asked about a unit beyond its command (SystemdManager::Ask), with
// the unit file where the folders tell it.
unsigned toAsk(const std::string &name, const FolderIndex &index, std::string &fragment);

} // namespace lw::unitfolders
