#include "ActionSender.h"

#include "ChannelNames.h"
#include "OverlayBusOwner.h"
#include "applicationproxy.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QTimer>

namespace {

// How long an overlay asked to quit may take to end: its companion ends first.
constexpr int QuitWaitMs = 10000;

// Waits until the connection of that unique name has left the bus, or the wait is over.
bool waitUntilGone(QDBusConnection &bus, const QString &uniqueName)
{
    QDBusServiceWatcher watcher(uniqueName, bus, QDBusServiceWatcher::WatchForUnregistration);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceUnregistered, &loop, &QEventLoop::quit);
    QTimer::singleShot(QuitWaitMs, &loop, &QEventLoop::quit);
    // Asked after the watcher is in place, so that a departure in between is not missed.
    if (bus.interface()->isServiceRegistered(uniqueName))
        loop.exec();
    return !bus.interface()->isServiceRegistered(uniqueName);
}

} // namespace

ActionSender::Result ActionSender::run(const QString &action)
{
    if (!OverlayBusOwner::sessionBusAnswers(&error))
        return NoOverlay;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Called on the owner's own connection: an overlay started for the call would only quit again.
    const QString owner = OverlayBusOwner::find(bus);
    if (owner.isEmpty()) {
        error = QStringLiteral("no overlay runs on the session bus");
        return NoOverlay;
    }
    ApplicationProxy overlay(owner, QLatin1String(ChannelNames::BusPath), bus);
    QDBusPendingReply<> reply = overlay.ActivateAction(action, QVariantList(), QVariantMap());
    reply.waitForFinished();
    if (reply.isError()) {
        error = QStringLiteral("the overlay did not run \"%1\" (%2)").arg(action, reply.error().message());
        return reply.error().type() == QDBusError::InvalidArgs ? Refused : NoOverlay;
    }
    if (action == QLatin1String("quit") && !waitUntilGone(bus, owner)) {
        error =
            QStringLiteral("the overlay was asked to quit and still runs after %1 s").arg(QuitWaitMs / 1000);
        return NoOverlay;
    }
    return Done;
}
