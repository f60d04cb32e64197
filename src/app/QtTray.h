#pragma once

#include "Tray.h"

#include <QIcon>
#include <QSystemTrayIcon>

namespace lw {

// The notification-area icon of the desktop. It shows no tooltip.
class QtTray : public Tray {
public:
  explicit QtTray(const QIcon &icon);
  bool available() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
  bool add() override;
  void remove() override;
  bool isShown() const override { return trayIcon.isVisible(); }
  void showMessage(const std::string &title, const std::string &text) override;

private:
  QSystemTrayIcon trayIcon;
};

} // namespace lw
