#include "StartupApp.h"

#include "MainDialog.h"

#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace lw {

StartupApp::StartupApp(int &argc, char **argv) : QApplication(argc, argv) {
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
