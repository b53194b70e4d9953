#include "OverlayBusOwner.h"

#include "ChannelNames.h"
#include "sessionbus/SessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QTimer>

bool OverlayBusOwner::sessionBusAnswers(QString *why)
{
    if (!SessionBus::provided()) {
        *why =
            QStringLiteral("no session bus: neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR names one");
        return false;
    }
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        *why = QStringLiteral("no session bus answers (%1)").arg(bus.lastError().message());
        return false;
    }
    return true;
}

QString OverlayBusOwner::find(QDBusConnection &bus)
{
    const QDBusReply<QString> owner = bus.interface()->serviceOwner(QLatin1String(ChannelNames::BusService));
    return owner.isValid() ? owner.value() : QString();
}

QString OverlayBusOwner::waitFor(QDBusConnection &bus, int waitMs)
{
    QDBusServiceWatcher watcher(
        QLatin1String(ChannelNames::BusService), bus, QDBusServiceWatcher::WatchForRegistration);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, &loop, &QEventLoop::quit);
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    // Asked after the watcher is in place, so that a name taken in between is not missed.
    if (find(bus).isEmpty())
        loop.exec();
    return find(bus);
}
