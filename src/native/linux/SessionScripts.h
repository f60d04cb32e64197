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

  // Which session reads or runs the file.
  static constexpr LogonReason xProfile{{820}, {835}};     // display managers, X sessions
  static constexpr LogonReason xSessionRc{{821}, {836}};   // Debian's X session start-up
  static constexpr LogonReason plasmaEnv{{822}, {837}};    // sourced before Plasma starts
  static constexpr LogonReason plasmaScript{{823}, {838}}; // run once Plasma has started
  static constexpr const LogonReason *reasons[] = {&xProfile, &xSessionRc, &plasmaEnv,
                                                   &plasmaScript};
  static constexpr LogonKind description{"session-script", {804}, {810}, reasons};

  LogonSourceKind kind() const override { return &description; }
  LogonSourceListing list() override;
  LogonWatch watchPlaces() override;

private:
  Folders places;
};

} // namespace lw
