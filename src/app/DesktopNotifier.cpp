#include "DesktopNotifier.h"

namespace lw {

bool DesktopNotifier::notify(quint64 tag, const QString &summary, const QString &body,
                             const QList<NotificationAction> &actions) {
  switch (showByService(tag, summary, body, actions)) {
  case Shown::WithActions:
    return true;
  case Shown::WithoutActions:
    return actions.isEmpty();
  case Shown::Not:
    break;
  }
  if (balloon && balloon(summary, body))
    balloonTag = tag;
  return false;
}

void DesktopNotifier::balloonClicked() {
  if (balloonTag)
    emit actionInvoked(*balloonTag, QStringLiteral("default"));
}

} // namespace lw
