#pragma once

#include <QApplication>
#include <QProxyStyle>

#include <optional>
#include <string>

namespace lw {

// The desktop's own style (or the one asked for with QT_STYLE_OVERRIDE), except that the
// overflow arrow of a menu bar or tool bar is made only when it is first drawn. Qt's styles
// make it whenever a menu bar is created, and to read its image they load every image format
// plugin installed; the window's menu bar seldom overflows.
class StartupStyle : public QProxyStyle {
public:
  QIcon standardIcon(StandardPixmap which, const QStyleOption *option = nullptr,
                     const QWidget *widget = nullptr) const override;
};

// The application object. An exception that escapes a handler is a fault in the program: it
// is written to the error output and the program ends, rather than running on in an unknown
// state. Expected failures never get this far (see MainDialog::guarded).
class StartupApp : public QApplication {
public:
  StartupApp(int &argc, char **argv);
  bool notify(QObject *receiver, QEvent *event) override;
};

class MainDialog;

// For checks of a built or installed program without a person at the screen: when
// LAUNCHWRIGHT_EXIT_AFTER_MS names a number of milliseconds, the program prints the rows of its
// list (kind, name, command, tab-separated) that long after start and ends with status 0.
void exitAfterStartWhenAsked(MainDialog &window);

// Why no window can be shown, or nothing when a display is there to try.
std::optional<std::string> missingDisplay();

} // namespace lw
