#include "StartupApp.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace lw {

StartupApp::StartupApp(int &argc, char **argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Launchwright"));
  setApplicationVersion(QStringLiteral("1.03"));
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

} // namespace lw
