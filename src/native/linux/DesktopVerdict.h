#pragma once
// Whether a session would start a desktop entry at logon, and if not, why. The rules are
// GLib's (GDesktopAppInfo, and GNOME's session on top of it for X-GNOME-Autostart-enabled),
// because GLib is the reference most desktops share; where systemd's autostart generator reads a
// file differently, this follows GLib.

#include "DesktopEntry.h"
#include "platform/StartupState.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lw::desktop {

// What the session knows when it decides: the names of the running desktop and where programs
// are found. Made afresh for each listing; it remembers its PATH look-ups only for its own life.
class Session {
public:
  // currentDesktop is XDG_CURRENT_DESKTOP, path is PATH; either may be null when unset.
  Session(const char *currentDesktop, const char *path);

  const std::vector<std::string> &desktops() const { return names; }
  // The locales whose Name translations the session shows (desktop::languageNames); none until
  // set, when only the untranslated Name counts.
  void setLanguages(std::vector<std::string> locales) { languageNames = std::move(locales); }
  const std::vector<std::string> &languages() const { return languageNames; }
  // Whether the program can be started as GLib looks for it: a name with a '/' must be an
  // executable file, a bare name is searched on PATH.
  bool findsProgram(const std::string &program);

private:
  std::vector<std::string> names;
  std::vector<std::string> searchPath;
  std::vector<std::string> languageNames;
  std::map<std::string, bool, std::less<>> found;
};

struct Verdict {
  StartVerdict verdict = StartVerdict::Starts;
  std::string detail;
};

// The verdict for an entry read from a file; the most basic reason wins: a file the desktop
// refuses, then the user's switch, then what the entry is, the desktop it is meant for, and
// whether its program is there.
Verdict judge(const DesktopEntry &entry, Session &session);

// The key that switches the entry off ("Hidden" or "X-GNOME-Autostart-enabled"); empty when on.
std::string switchKey(const DesktopEntry &entry);

} // namespace lw::desktop
