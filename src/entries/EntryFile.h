#pragma once
// The file behind a row, for the window's Open File Location and Properties and for `show`.

#include "entries/StartupList.h"
#include "platform/Platform.h"

#include <string>

namespace lw {

// A Run entry's own file. A machine entry's row names the user's file of the same name when
// that replaces or switches it off; its own is then the first machine folder's file of the name
// (the user's folder comes first among the entry folders).
std::string ownFile(const StartupEntry &entry, const StartupState &startup);

// The file a person looks for behind the row: its autostart file or shortcut, the item file of
// another way to start, else the program its command starts. Empty when there is none.
std::string entryFile(const StartupEntry &entry, const Platform &platform);

// Who published the program the entry's command starts, as the system's shell reads it from the
// program file; empty where it cannot be told.
std::string entryPublisher(const StartupEntry &entry, const Platform &platform);

// What `show` prints for an entry whose own file is file (empty: it has none): a customized
// entry's three lines, the command of an entry without a file, else the file's bytes.
struct ShownEntry {
  bool read = true;
  std::string text;  // when read
  std::string error; // when not: the file and why
};
ShownEntry shownEntry(const StartupEntry &entry, const std::string &file);

} // namespace lw
