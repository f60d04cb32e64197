// Arbitrary bytes as an autostart file, judged by this program and by GLib (GDesktopAppInfo, with
// Hidden and X-GNOME-Autostart-enabled as GNOME's session reads them, the judgement of
// tests/platform/GlibAutostartOracle.cpp). Any input on which the two disagree about whether
// the session starts the entry stops the run, but for the one class of difference let through
// (hasOtherCharacterInLocale).
//
// The session: XDG_CURRENT_DESKTOP "ubuntu:GNOME" and a PATH whose first folder holds a program
// "present", a file "plain-file" that is no program and folders named "lw-folder" and "sh".
#include "FuzzPlatform.h"
#include "native/linux/AutostartFolders.h"
#include "native/linux/DesktopVerdict.h"

#include <gio/gdesktopappinfo.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

constexpr const char *entryName = "fuzzed.desktop";

std::string sessionDesktops;
std::string sessionPath;

void makeSession(const lw::fuzz::FuzzPlatform &fuzz) {
  const fs::path bin = fuzz.file("bin");
  fs::create_directories(bin / "lw-folder");
  fs::create_directories(bin / "sh");
  std::ofstream(bin / "present") << "#!/bin/sh\nexit 0\n";
  fs::permissions(bin / "present", fs::perms::owner_all);
  std::ofstream(bin / "plain-file") << "not a program\n";
  sessionDesktops = "ubuntu:GNOME";
  sessionPath = bin.string() + ":/usr/bin:/bin";
  // GLib reads both from the environment, the desktops once per process.
  ::setenv("XDG_CURRENT_DESKTOP", sessionDesktops.c_str(), 1);
  ::setenv("PATH", sessionPath.c_str(), 1);
}

bool glibStarts(const char *path) {
  GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(path);
  if (!info)
    return false;
  const char *command = g_app_info_get_commandline(G_APP_INFO(info));
  const bool starts = !g_desktop_app_info_get_is_hidden(info) &&
                      !(g_desktop_app_info_has_key(info, "X-GNOME-Autostart-enabled") &&
                        !g_desktop_app_info_get_boolean(info, "X-GNOME-Autostart-enabled")) &&
                      g_desktop_app_info_get_show_in(info, nullptr) && command && *command;
  g_object_unref(info);
  return starts;
}

// GLib takes letters and digits of any script in a key's "[locale]"; telling letters needs
// Unicode's tables, so this program takes every well-formed character there. A file with a
// well-formed character that GLib does not count as a letter or digit in a locale is the one
// difference let through.
bool hasOtherCharacterInLocale(std::string_view bytes) {
  while (!bytes.empty()) {
    const auto end = bytes.find('\n');
    const std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    const std::string_view key = line.substr(0, line.find('='));
    const auto open = key.find('[');
    if (open == std::string_view::npos || key.size() == line.size())
      continue;
    for (std::size_t i = open + 1; i < key.size(); ++i) {
      if (static_cast<unsigned char>(key[i]) < 0x80)
        continue;
      const gunichar c = g_utf8_get_char_validated(key.data() + i, gssize(key.size() - i));
      if (c < 0x110000 && !g_unichar_isalnum(c))
        return true;
    }
  }
  return false;
}

bool ourVerdictStarts(const std::string &path) {
  lw::desktop::Session session(sessionDesktops.c_str(), sessionPath.c_str());
  const auto loaded = lw::AutostartFolders::load(path);
  return loaded.entry &&
         lw::desktop::judge(*loaded.entry, session).verdict == lw::StartVerdict::Starts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  auto &fuzz = lw::fuzz::FuzzPlatform::instance();
  static const bool ready = (makeSession(fuzz), true);
  (void)ready;
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  fuzz.put(entryName, bytes);
  const std::string path = fuzz.file(entryName);

  const bool ours = ourVerdictStarts(path);
  const bool glib = glibStarts(path.c_str());
  if (ours != glib && !hasOtherCharacterInLocale(bytes)) {
    std::fprintf(stderr, "verdicts differ: Launchwright %s, GLib %s\n",
                 ours ? "starts" : "does not start", glib ? "starts" : "does not start");
    lw::fuzz::broken("our verdict is GLib's");
  }
  return 0;
}
