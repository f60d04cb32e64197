#include "StartupApp.h"

#include "MainDialog.h"
#include "ProgramIcon.h"

#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace lw {

QIcon StartupStyle::standardIcon(StandardPixmap which, const QStyleOption *option,
                                 const QWidget *widget) const {
  if (option ||
      (which != SP_ToolBarHorizontalExtensionButton && which != SP_ToolBarVerticalExtensionButton))
    return QProxyStyle::standardIcon(which, option, widget);
  QPointer<QStyle> base(const_cast<QStyle *>(baseStyle()));
  QPointer<QWidget> owner(const_cast<QWidget *>(widget));
  return deferredIcon([base, owner, which] {
    return base ? base->standardIcon(which, nullptr, owner.data()) : QIcon();
  });
}

StartupApp::StartupApp(int &argc, char **argv) : QApplication(argc, argv) {
  setStyle(new StartupStyle);
  setApplicationName(QStringLiteral("Launchwright"));
  setApplicationVersion(QStringLiteral("1.03"));
  // Lets the desktop match the window to the installed menu entry and its icon.
  setDesktopFileName(QStringLiteral("org.kestrum.Launchwright"));
  // The window hides in the tray; the program ends only when the main window ends.
  setQuitOnLastWindowClosed(false);
}

bool StartupApp::notify(QObject *receiver, QEvent *event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "launchwright: internal error: %s\n", error.what());
  }
  std::exit(70);
}

void exitAfterStartWhenAsked(MainDialog &window) {
  const char *value = std::getenv("LAUNCHWRIGHT_EXIT_AFTER_MS");
  if (!value || !*value)
    return;
  QTimer::singleShot(std::atoi(value), &window, [&window] {
    const StartupListModel &rows = *window.listModel;
    for (int row = 0; row < rows.rowCount(); ++row)
      std::printf("%s\t%s\t%s\n", rows.cellText(row, 1).toLocal8Bit().constData(),
                  rows.cellText(row, 0).toLocal8Bit().constData(),
                  rows.cellText(row, 2).toLocal8Bit().constData());
    std::fflush(stdout);
    QCoreApplication::exit(0);
  });
}

} // namespace lw
