#pragma once
// Which of the two layouts the program runs in, decided from where its file is.
//
// Portable: the program's own directory holds the language file and can be written; every file
// is read and written there (the build's bin/ folder, an unpacked archive).
// Installed: otherwise, when <program dir>/../share/launchwright holds the language file (the
// program in <prefix>/bin): the shipped files are read from there, the starter is
// <prefix>/libexec/launchwright/rwlaunch, and each user's files live in
// $XDG_DATA_HOME/launchwright (default ~/.local/share/launchwright).
// Anything else counts as portable, so that the reports of missing files name the program
// directory.

#include "platform/ProgramLocation.h"

#include <functional>
#include <string>

namespace lw {

inline constexpr const char *installName = "launchwright";

ProgramLayout decideLayout(const std::string &executable,
                           const std::function<const char *(const char *)> &lookUp);

} // namespace lw
