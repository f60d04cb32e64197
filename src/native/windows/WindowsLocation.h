#pragma once
// Where the running program is, and which of the two layouts that gives.
//
// Portable: every file is read and written in the program's own folder (the build's bin\, an
// unpacked archive, a folder on a stick).
// Installed: the installer put installedMarker beside the program. The shipped files and the
// starter are read from the program's folder, and each user's files live in
// %APPDATA%\Launchwright. A marker and not the folder's rights decides, because an
// administrator (and every user under Wine) may write Program Files, and a copy of the program
// folder made elsewhere by hand stays portable.

#include "platform/ProgramLocation.h"

#include <string>
#include <windows.h>

namespace lw {

inline constexpr const char *installedMarker = "installed.txt";
inline constexpr const char *userFolderName = "Launchwright";

// The layout for the program file `executable`, with `roamingAppData` the user's %APPDATA%.
// Without an AppData folder to write in, an installed program has nowhere else than its own
// folder, and so runs portable.
ProgramLayout decideLayout(const std::string &executable, const std::string &roamingAppData);

// The user's roaming application data folder as the shell knows it; empty when there is none.
std::string roamingAppDataFolder();

// The layout is decided once, when the location is made.
class WindowsLocation : public ProgramLocation {
public:
  WindowsLocation();
  std::string executablePath() const override;
  char separator() const override { return '\\'; }
  ProgramLayout layout() const override { return decided; }

private:
  ProgramLayout decided;
};

// The full path of a module's file, in UTF-8. GetModuleFileNameW answers a path that does not fit
// with the buffer's size and an unterminated, cut text; the buffer then grows until the path fits.
// The first size is a parameter so that tests can force the growing. Empty on failure.
std::string moduleFileName(HMODULE module, DWORD initialSize = MAX_PATH);

} // namespace lw
