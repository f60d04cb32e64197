// systemd's user manager on the session bus.
#include "ServiceManagerSignal.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace lw {

namespace {

const QString manager = QStringLiteral("org.freedesktop.systemd1");
const QString managerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString managerInterface = QStringLiteral("org.freedesktop.systemd1.Manager");

} // namespace

ServiceManagerSignal::ServiceManagerSignal(std::function<void()> changed, QObject *parent)
    : QObject(parent), onChange(std::move(changed)) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected())
    return;
  bus.connect(manager, managerPath, managerInterface, QStringLiteral("UnitFilesChanged"), this,
              SLOT(unitFilesChanged()));
  bus.connect(manager, managerPath, managerInterface, QStringLiteral("Reloading"), this,
              SLOT(reloading(bool)));
  // The manager sends its signals on the bus only while someone subscribed; the subscription
  // ends with this connection. Not waited for: a manager that is not there answers nothing.
  bus.send(QDBusMessage::createMethodCall(manager, managerPath, managerInterface,
                                          QStringLiteral("Subscribe")));
}

void ServiceManagerSignal::reloading(bool active) {
  if (!active && onChange)
    onChange();
}

void ServiceManagerSignal::unitFilesChanged() {
  if (onChange)
    onChange();
}

} // namespace lw
