#pragma once
// The applications the desktop offers to start, as its own menu lists them, for the user to
// pick one as an entry's program: on Linux the desktop entries of the XDG application folders,
// on Windows the Start menu's shortcuts.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lw {

struct InstalledApplication {
  // What names the application for find: on Linux its desktop file ID ("org.gnome.Calculator",
  // without ".desktop"), on Windows the shortcut's path.
  std::string id;
  std::string name;    // as the menu shows it, in the user's language
  std::string comment; // what it is, in the user's language; may be empty
  std::string command; // the command line it starts, as a Run-key entry would hold it
  // Where its picture comes from: an icon theme's name, or an absolute path of an image file or
  // of a file whose own icon is meant (a shortcut). Empty when it names none.
  std::string icon;
};

class Applications {
public:
  virtual ~Applications() = default;
  // Every application the menu shows, sorted by name.
  virtual std::vector<InstalledApplication> list() = 0;
  // The application of that id, also one the menu does not show; nothing when there is none.
  // On Linux the id may end in ".desktop".
  virtual std::optional<InstalledApplication> find(std::string_view id) = 0;
};

} // namespace lw
