// Windows has no notification service of this kind: every notification is the balloon.
#include "DesktopNotifier.h"

namespace lw {

class DesktopNotifier::Service {};

DesktopNotifier::DesktopNotifier(Balloon balloonShower, QObject *parent)
    : QObject(parent), balloon(std::move(balloonShower)) {}

DesktopNotifier::~DesktopNotifier() = default;

DesktopNotifier::Shown DesktopNotifier::showByService(quint64, const QString &, const QString &,
                                                      const QList<NotificationAction> &) {
  return Shown::Not;
}

} // namespace lw
