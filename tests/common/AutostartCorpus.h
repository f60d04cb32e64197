#pragma once
// Hand-written autostart files that carry far more than a name and a command, for the tests
// that delete an entry and restore it: what comes back must be these bytes, and GLib must
// judge it as before.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace lw::test {

struct CorpusEntry {
  std::string name;
  bool machine = false;           // in the machine's folder, else the user's
  std::string bytes;              // the entry's own file
  std::optional<std::string> off; // the user's file of the name that switches a machine entry off
};

inline std::vector<CorpusEntry> autostartCorpus() {
  const std::string app = "[Desktop Entry]\nType=Application\nExec=/bin/true --x\n";
  return {
      {"commented", false, "# written by hand\n\n" + app + "# trailing remark\n"},
      {"translated", false, app + "Name=Clock\nName[de]=Uhr\nComment[fr_FR@euro]=Horloge\n"},
      {"crlf", false, "[Desktop Entry]\r\nType=Application\r\nExec=/bin/true\r\nName=C\r\n"},
      {"hidden", false, app + "Hidden=true\n"},
      {"kde-only", false, app + "OnlyShowIn=KDE;\n"},
      {"gnome-off", false, app + "X-GNOME-Autostart-enabled=false\n"},
      {"actions", false,
       app + "Actions=Clear;\n\n[Desktop Action Clear]\nName=Clear\nExec=/bin/true --clear\n"},
      {"no-final-break", false, app + "Name=Last"},
      {"latin1", false,
       "# Kommentar f\xFCr Gr\xFC\xDF"
       "e\n" +
           app},
      {"machine-switched", true, app + "Name=Machine\nX-KDE-autostart-phase=1\n",
       "[Desktop Entry]\nType=Application\nName=machine-switched\nHidden=true\n"},
  };
}

inline std::string fileBytes(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void putFile(const std::filesystem::path &path, const std::string &bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

// Where a corpus entry's files go once written: its own file, and the user's file of its name
// (a machine entry's switch file when the entry has one).
struct PlacedEntry {
  std::filesystem::path file;
  std::filesystem::path off;
};

inline PlacedEntry placeEntry(const CorpusEntry &entry, const std::filesystem::path &user,
                              const std::filesystem::path &machine) {
  const PlacedEntry placed{(entry.machine ? machine : user) / (entry.name + ".desktop"),
                           user / (entry.name + ".desktop")};
  putFile(placed.file, entry.bytes);
  if (entry.off)
    putFile(placed.off, *entry.off);
  return placed;
}

// GLib's answer for each file, one line each ("starts", "hidden", ...), under the given desktop
// and, when one is given, PATH; nothing where GLib is not here.
inline std::vector<std::string> askGlib(const std::vector<std::filesystem::path> &files,
                                        const std::string &desktop = "GNOME",
                                        const std::string &path = {}) {
  std::vector<std::string> answers;
#ifdef LW_GLIB_ORACLE
  std::string command = "env XDG_CURRENT_DESKTOP='" + desktop + "'";
  if (!path.empty())
    command += " PATH='" + path + "'";
  command += " '" + std::string(LW_GLIB_ORACLE) + "'";
  for (const auto &file : files)
    command += " '" + file.string() + "'";
  FILE *pipe = ::popen(command.c_str(), "r");
  char line[256];
  while (pipe && std::fgets(line, sizeof line, pipe))
    answers.emplace_back(line, std::strlen(line) - 1);
  if (pipe)
    ::pclose(pipe);
#else
  (void)files, (void)desktop, (void)path;
#endif
  return answers;
}

} // namespace lw::test
