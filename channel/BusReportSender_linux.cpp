#include "BusReportSender.h"

#include "ChannelNames.h"
#include "OverlayBusOwner.h"
#include "overlay1proxy.h"
#include "sessionbus/SessionBus.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusPendingReply>

namespace {

// How long an overlay started by hand may take from its instance check to owning the name.
constexpr int OwnerWaitMs = 10000;

} // namespace

bool BusReportSender::busAvailable()
{
    return SessionBus::provided() && QDBusConnection::sessionBus().isConnected();
}

bool BusReportSender::send(quint32 parameter)
{
    if (!OverlayBusOwner::sessionBusAnswers(&error))
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    Overlay1Proxy overlay(QLatin1String(ChannelNames::BusService), QLatin1String(ChannelNames::BusPath), bus);
    QDBusPendingReply<bool> reply = overlay.Report(parameter);
    reply.waitForFinished();
    // An overlay started by the bus loses to one started by hand at the same moment, and its
    // caller gets an error: the one retry goes to the winner once it owns the name. Where the
    // bus knows no way to start an overlay, there is nothing to wait for.
    if (reply.isError() && reply.error().type() != QDBusError::ServiceUnknown) {
        OverlayBusOwner::waitFor(bus, OwnerWaitMs);
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
