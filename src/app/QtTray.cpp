#include "QtTray.h"

namespace lw {

namespace {

TrayClick clickOf(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
  case QSystemTrayIcon::Trigger:
    return TrayClick::LeftButton;
  case QSystemTrayIcon::Context:
    return TrayClick::ContextMenu;
  default: // a double click is the left button's first press and then this: nothing more
    return TrayClick::Other;
  }
}

} // namespace

QtTray::QtTray(const QIcon &icon) : trayIcon(icon) {
  QObject::connect(&trayIcon, &QSystemTrayIcon::activated,
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (notify)
                       notify(clickOf(reason));
                   });
  QObject::connect(&trayIcon, &QSystemTrayIcon::messageClicked, [this] {
    if (messageClicked)
      messageClicked();
  });
}

bool QtTray::add() {
  if (!QSystemTrayIcon::isSystemTrayAvailable())
    return false;
  trayIcon.show();
  return trayIcon.isVisible();
}

void QtTray::remove() { trayIcon.hide(); }

void QtTray::showMessage(const std::string &title, const std::string &text) {
  if (trayIcon.isVisible())
    trayIcon.showMessage(QString::fromUtf8(title), QString::fromUtf8(text),
                         QSystemTrayIcon::Warning);
}

} // namespace lw
