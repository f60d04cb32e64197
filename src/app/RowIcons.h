#pragma once
// The picture at the start of each row of the main list: the icon the entry's own file names
// (an autostart file's Icon), else that of the installed application that starts the same
// program, else the program file's own (on Windows its embedded icon), else a neutral one.

#include "entries/StartupList.h"
#include "platform/Applications.h"

#include <QIcon>

#include <map>
#include <optional>
#include <string>

namespace lw {

class RowIcons {
public:
  // Without applications, no row takes an application's icon.
  explicit RowIcons(Applications *applications);

  // Never null. The applications are listed once, when the first row without an icon of its
  // own asks.
  QIcon iconOf(const StartupEntry &entry);

  // The program a command starts: its first word, a quoted one without its quotes.
  static std::string programOf(const std::string &command);

private:
  QIcon named(const std::string &icon);
  const std::map<std::string, std::string> &applicationIcons();

  Applications *applications;
  std::map<std::string, QIcon> known; // by the icon's name or path; null: not found
  // The icon of each application by its program's path and by the program's file name.
  std::optional<std::map<std::string, std::string>> byProgram;
};

} // namespace lw
