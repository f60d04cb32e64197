// The freedesktop.org notification service on the session bus.
#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QHash>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <atomic>

namespace lw {

namespace {

const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
const QString servicePath = QStringLiteral("/org/freedesktop/Notifications");
const QString serviceInterface = QStringLiteral("org.freedesktop.Notifications");

// A service that takes the name but never answers costs the window this long, once per
// notification; one that is not there at all is refused by the bus at once.
constexpr int answerBudgetMs = 1000;

// The installed desktop file's id, which also names the installed icon: the desktop shows both
// with the notification and files its settings for this program under it.
const QString applicationId = QStringLiteral("org.kestrum.Launchwright");

// The two signals of the service, as slots Qt D-Bus can deliver them to.
class ServiceSignals : public QObject {
  Q_OBJECT

public:
  std::function<void(uint, const QString &)> onAction;
  std::function<void(uint)> onClosed;

public slots:
  void actionInvoked(uint id, const QString &key) { onAction(id, key); }
  void notificationClosed(uint id, uint) { onClosed(id); }
};

} // namespace

class DesktopNotifier::Service {
public:
  explicit Service(DesktopNotifier &owner) : notifier(owner) {
    static std::atomic<int> count;
    connectionName = QStringLiteral("launchwright-notifications-%1").arg(++count);
    listener.onAction = [this](uint id, const QString &key) {
      if (const auto tag = tags.find(id); tag != tags.end())
        emit this->notifier.actionInvoked(*tag, key);
    };
    listener.onClosed = [this](uint id) {
      if (const auto tag = tags.find(id); tag != tags.end()) {
        const quint64 closedTag = *tag;
        tags.erase(tag);
        emit this->notifier.closed(closedTag);
      }
    };
  }

  ~Service() { QDBusConnection::disconnectFromBus(connectionName); }

  Shown show(quint64 tag, const QString &summary, const QString &body,
             const QList<NotificationAction> &actions) {
    if (!connected())
      return Shown::Not;
    const QDeadlineTimer deadline(answerBudgetMs);
    if (!capabilities) {
      const QDBusMessage reply = connection().call(
          QDBusMessage::createMethodCall(serviceName, servicePath, serviceInterface,
                                         QStringLiteral("GetCapabilities")),
          QDBus::Block, answerBudgetMs);
      if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return Shown::Not;
      capabilities = reply.arguments().constFirst().toStringList();
    }
    const bool withActions =
        !actions.isEmpty() && capabilities->contains(QStringLiteral("actions"));
    QStringList flatActions;
    if (withActions)
      for (const auto &action : actions)
        flatActions << action.key << action.label;
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, servicePath, serviceInterface,
                                                       QStringLiteral("Notify"));
    const QVariantMap hints = {
        {QStringLiteral("desktop-entry"), applicationId},
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}}; // normal
    call << QStringLiteral("Launchwright") << uint(0) << applicationId << summary << body
         << flatActions << hints << qint32(-1);
    const QDBusMessage reply =
        connection().call(call, QDBus::Block, std::max(1, int(deadline.remainingTime())));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) {
      capabilities.reset(); // the next service to take the name may say otherwise
      return Shown::Not;
    }
    tags.insert(reply.arguments().constFirst().toUInt(), tag);
    return withActions ? Shown::WithActions : Shown::WithoutActions;
  }

private:
  QDBusConnection connection() const { return QDBusConnection(connectionName); }

  // A connection of this notifier's own, to the bus the environment names now: Qt's shared
  // session bus is bound to whatever bus the process saw first.
  bool connected() {
    if (connection().isConnected())
      return true;
    QDBusConnection::disconnectFromBus(connectionName);
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QDBusConnection bus =
        address.isEmpty()
            ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName)
            : QDBusConnection::connectToBus(QString::fromUtf8(address), connectionName);
    if (!bus.isConnected())
      return false;
    QDBusConnection(bus).connect(serviceName, servicePath, serviceInterface,
                                 QStringLiteral("ActionInvoked"), &listener,
                                 SLOT(actionInvoked(uint, QString)));
    QDBusConnection(bus).connect(serviceName, servicePath, serviceInterface,
                                 QStringLiteral("NotificationClosed"), &listener,
                                 SLOT(notificationClosed(uint, uint)));
    capabilities.reset();
    return true;
  }

  DesktopNotifier &notifier;
  QString connectionName;
  ServiceSignals listener;
  std::optional<QStringList> capabilities;
  QHash<uint, quint64> tags; // the service's number of each notification shown, to the caller's
};

DesktopNotifier::DesktopNotifier(Balloon balloonShower, QObject *parent)
    : QObject(parent), service(std::make_unique<Service>(*this)),
      balloon(std::move(balloonShower)) {}

DesktopNotifier::~DesktopNotifier() = default;

DesktopNotifier::Shown DesktopNotifier::showByService(quint64 tag, const QString &summary,
                                                      const QString &body,
                                                      const QList<NotificationAction> &actions) {
  return service->show(tag, summary, body, actions);
}

} // namespace lw

#include "DesktopNotifierDBus.moc"
