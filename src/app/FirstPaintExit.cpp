#include "FirstPaintExit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTreeView>

#include <cstdlib>

namespace lw {

namespace {

class ExitAfterPaint : public QObject {
public:
  ExitAfterPaint(QObject *parent, std::function<void()> onPainted)
      : QObject(parent), release(std::move(onPainted)) {}

protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    // The filter sees the paint before it is done; the queued call runs once it is.
    if (event->type() == QEvent::Paint)
      QMetaObject::invokeMethod(
          QCoreApplication::instance(),
          [release = release] {
            if (release)
              release();
            std::_Exit(0);
          },
          Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
  }

private:
  std::function<void()> release;
};

} // namespace

void exitAfterFirstPaintWhenAsked(QWidget *window, std::function<void()> release) {
  if (qgetenv("LW_EXIT_AFTER_FIRST_PAINT") != "1" || !window)
    return;
  auto *list = window->findChild<QTreeView *>();
  QWidget *painted = list ? list->viewport() : window;
  painted->installEventFilter(new ExitAfterPaint(painted, std::move(release)));
}

} // namespace lw
