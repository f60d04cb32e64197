#include "MainDialog.h"

#include <QCursor>
#include <QLayout>
#include <QMenu>
#include <QScreen>

namespace lw {

void MainDialog::minimizeToTray() {
  saveWindowLayout();
  if (trayMenu)
    trayMenu->deleteLater();
  trayMenu = loadTrayMenu();
  // A window that was never shown stays unmapped: nothing flashes on the screen.
  if (trayIcon.add() && isVisible()) {
    showMinimized();
    hide();
  }
  ProgramValues(platform.registry).markBackgroundControl();
}

void MainDialog::showAtStart() {
  if (!launcher.startedByAutostart)
    show();
  else if (trayIcon.available())
    minimizeToTray();
  else
    showIconic();
}

void MainDialog::showIconic() {
  // The window system keeps the state only while the window's geometry is left alone, so the
  // size and place it would get on the way to the screen (from its layout, and the dialog's
  // centring) are settled first.
  ensurePolished();
  layout()->activate();
  if (!testAttribute(Qt::WA_Resized))
    adjustSize();
  if (!testAttribute(Qt::WA_Moved))
    if (const QScreen *where = screen())
      move(where->availableGeometry().center() - rect().center());
  (void)winId();
  setWindowState(windowState() | Qt::WindowMinimized);
  show();
}

void MainDialog::OnMinimizeToTray() { minimizeToTray(); }

void MainDialog::OnTrayNotify(TrayClick click) {
  switch (click) {
  case TrayClick::LeftButton:
    restoreFromTray();
    break;
  case TrayClick::RightButton:
  case TrayClick::ContextMenu:
    showTrayMenu(QCursor::pos());
    break;
  case TrayClick::Other:
    break;
  }
}

void MainDialog::restoreFromTray() {
  showFromTray();
  deleteBackgroundControl();
}

void MainDialog::showFromTray() {
  // The user has the window now: a later reload leaves it up instead of sending it back to the
  // tray as at logon.
  launcher.startedByAutostart = false;
  showNormal();
  activateWindow();
  trayIcon.remove();
}

void MainDialog::showTrayMenu(QPoint at) {
  if (!trayMenu)
    return;
  // The menu's bottom edge at the cursor, as tray menus open upwards from the task bar.
  trayMenu->popup(QPoint(at.x(), at.y() - trayMenu->sizeHint().height()));
}

void MainDialog::OnTrayShowMainProgram() { showFromTray(); }

void MainDialog::OnTrayStopCustomizedStartups() {
  trayIcon.remove();
  done(QDialog::Rejected);
  deleteBackgroundControl();
}

} // namespace lw
