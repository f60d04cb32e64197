// notification-capture FILE [CAPABILITY...]: a desktop notification service for tests, on the
// session bus the environment names (a private one: it takes org.freedesktop.Notifications).
// Each notification becomes one JSON line in FILE; the test presses a button with the method
// org.launchwright.NotificationCapture.Invoke(u id, s key). FILE exists once the name is owned.
// Without capabilities it says "actions" and "body".

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <QVariantMap>

#include <cstdio>

namespace {

// The strings as a JSON array, or the only one of them as a JSON string.
QByteArray json(const QStringList &texts, bool onlyOne) {
  const QByteArray array =
      QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact);
  return onlyOne ? array.mid(1, array.size() - 2) : array;
}

class Notifications : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
  Notifications(QObject *object, QFile &output, QStringList said)
      : QDBusAbstractAdaptor(object), file(output), capabilities(std::move(said)) {}

public slots:
  QStringList GetCapabilities() { return capabilities; }
  QString GetServerInformation(QString &vendor, QString &version, QString &specVersion) {
    vendor = QStringLiteral("Launchwright tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("notification-capture");
  }
  uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
              const QStringList &actions, const QVariantMap &, int) {
    // Written by hand for the order of its keys; QJsonObject would sort them.
    file.write("{\"id\":" + QByteArray::number(++lastId) + ",\"summary\":" + json({summary}, true) +
               ",\"body\":" + json({body}, true) + ",\"actions\":" + json(actions, false) + "}\n");
    file.flush();
    return lastId;
  }
  void CloseNotification(uint id) { emit NotificationClosed(id, 3); }

signals:
  void ActionInvoked(uint id, const QString &key);
  void NotificationClosed(uint id, uint reason);

private:
  QFile &file;
  QStringList capabilities;
  uint lastId = 0;
};

class Capture : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.launchwright.NotificationCapture")

public:
  Capture(QObject *object, Notifications &service)
      : QDBusAbstractAdaptor(object), notifications(service) {}

public slots:
  // The user pressed the button `key` (or the body: "default"), and the notification went.
  void Invoke(uint id, const QString &key) {
    emit notifications.ActionInvoked(id, key);
    emit notifications.NotificationClosed(id, 2);
  }

private:
  Notifications &notifications;
};

} // namespace

int main(int argc, char **argv) {
  QCoreApplication application(argc, argv);
  QStringList arguments = application.arguments().mid(1);
  if (arguments.isEmpty()) {
    std::fputs("usage: notification-capture FILE [CAPABILITY...]\n", stderr);
    return 2;
  }
  QFile file(arguments.takeFirst());
  if (arguments.isEmpty())
    arguments = QStringList{QStringLiteral("actions"), QStringLiteral("body")};

  QObject object;
  Notifications notifications(&object, file, arguments);
  Capture capture(&object, notifications);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &object) ||
      !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
    std::fputs("notification-capture: cannot take org.freedesktop.Notifications\n", stderr);
    return 1;
  }
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
    return 1;
  return application.exec();
}

#include "NotificationCapture.moc"
