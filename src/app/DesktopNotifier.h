#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace lw {

// One button of a notification: `key` comes back in actionInvoked, `label` is what it shows.
struct NotificationAction {
  QString key;
  QString label;
};

// Passing notifications on the desktop, and the user's answer to them. On Linux they go to the
// desktop's notification service on the session bus; where there is none (and on Windows) they
// go to `balloon`, usually the tray icon's, which has no buttons.
class DesktopNotifier : public QObject {
  Q_OBJECT

public:
  // Shows a message without buttons; false when it could not (no icon in the notification area).
  using Balloon = std::function<bool(const QString &summary, const QString &body)>;

  explicit DesktopNotifier(Balloon balloon, QObject *parent = nullptr);
  ~DesktopNotifier() override;

  // Shows one notification; `tag` is the caller's own number for it. True when the desktop's
  // notification service took it with its actions as buttons; false when there is no service, or
  // it cannot show actions and actions were asked for (the caller then offers them elsewhere).
  // Waits at most about a second for a service that does not answer.
  bool notify(quint64 tag, const QString &summary, const QString &body,
              const QList<NotificationAction> &actions);

  // For the balloon's owner when the user clicks the last balloon shown.
  void balloonClicked();

signals:
  void actionInvoked(quint64 tag, const QString &key); // a button, or "default" for the body
  void closed(quint64 tag);                            // dismissed or expired

private:
  enum class Shown { Not, WithoutActions, WithActions };
  // The desktop's notification service; one implementation per platform.
  class Service;
  Shown showByService(quint64 tag, const QString &summary, const QString &body,
                      const QList<NotificationAction> &actions);

  std::unique_ptr<Service> service;
  Balloon balloon;
  std::optional<quint64> balloonTag;
};

} // namespace lw
