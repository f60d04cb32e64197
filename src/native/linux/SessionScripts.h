#pragma once
// The shell files a session reads or runs of the user's own: ~/.xprofile (display managers),
// ~/.xsessionrc (Debian's Xsession), Plasma's environment scripts and its autostart scripts.
// They are listed for what they are and never changed here: a file is edited, not switched.

#include "platform/LogonSources.h"

#include <functional>
#include <string>

namespace lw {

class SessionScripts : public LogonSource {
public:
  struct Folders {
    std::string home;       // $HOME, where the X session files are
    std::string configHome; // $XDG_CONFIG_HOME, where Plasma's folders are
  };
  // The folders the sessions use for these environment variables; lookUp answers nullptr for
  // an unset variable.
  static Folders folders(const std::function<const char *(const char *)> &lookUp);

  explicit SessionScripts(Folders where) : places(std::move(where)) {}

  LogonSourceKind kind() const override { return LogonSourceKind::SessionScript; }
  LogonSourceListing list() override;

private:
  Folders places;
};

} // namespace lw
