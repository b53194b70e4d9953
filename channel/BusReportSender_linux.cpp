#include "BusReportSender.h"

#include "ChannelNames.h"
#include "overlay1proxy.h"
#include "sessionbus/SessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QTimer>

namespace {

// How long an overlay started by hand may take from its instance check to owning the name.
constexpr int OwnerWaitMs = 10000;

// Waits until someone owns the overlay's name, or the wait is over.
void waitForOwner(QDBusConnection &bus)
{
    const QString service = QLatin1String(ChannelNames::BusService);
    QDBusServiceWatcher watcher(service, bus, QDBusServiceWatcher::WatchForRegistration);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, &loop, &QEventLoop::quit);
    QTimer::singleShot(OwnerWaitMs, &loop, &QEventLoop::quit);
    // Asked after the watcher is in place, so that a name taken in between is not missed.
    if (!bus.interface()->isServiceRegistered(service))
        loop.exec();
}

} // namespace

bool BusReportSender::busAvailable()
{
    return SessionBus::provided() && QDBusConnection::sessionBus().isConnected();
}

bool BusReportSender::send(quint32 parameter)
{
    if (!SessionBus::provided()) {
        error =
            QStringLiteral("no session bus: neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR names one");
        return false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        error = QStringLiteral("no session bus answers (%1)").arg(bus.lastError().message());
        return false;
    }
    Overlay1Proxy overlay(QLatin1String(ChannelNames::BusService), QLatin1String(ChannelNames::BusPath), bus);
    QDBusPendingReply<bool> reply = overlay.Report(parameter);
    reply.waitForFinished();
    // An overlay started by the bus loses to one started by hand at the same moment, and its
    // caller gets an error: the one retry goes to the winner once it owns the name. Where the
    // bus knows no way to start an overlay, there is nothing to wait for.
    if (reply.isError() && reply.error().type() != QDBusError::ServiceUnknown) {
        waitForOwner(bus);
        reply = overlay.Report(parameter);
        reply.waitForFinished();
    }
    if (reply.isError()) {
        error = QStringLiteral("no overlay could be reached or started on the session bus (%1)")
                    .arg(reply.error().message());
        return false;
    }
    return true;
}
