#include "OverlayBusOwner.h"

#include "ChannelNames.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QTimer>

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
