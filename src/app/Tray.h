#pragma once

#include <functional>
#include <string>

namespace lw {

// What the user did with the mouse on the notification-area icon.
enum class TrayClick { LeftButton, RightButton, ContextMenu, Other };

// The main window's icon in the notification area. The desktop may have no such area (the
// offscreen platform never does), and then adding fails and the window stays where it is.
class Tray {
public:
  virtual ~Tray() = default;
  // Whether the desktop has a notification area that could show the icon now.
  virtual bool available() const = 0;
  // Shows the icon; false when it could not be shown.
  virtual bool add() = 0;
  // Harmless when the icon is not shown.
  virtual void remove() = 0;
  virtual bool isShown() const = 0;
  // A passing notification beside the shown icon; nothing when the icon is not shown.
  virtual void showMessage(const std::string &title, const std::string &text) = 0;

  // Called on the user-interface thread for every click on the shown icon.
  std::function<void(TrayClick)> notify;
  // Called on the user-interface thread when the user clicks the passing notification, where
  // the desktop says so.
  std::function<void()> messageClicked;
};

} // namespace lw
