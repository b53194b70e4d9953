#include "OverlayBusService.h"

#include <utility>

// Windows has no session bus: its registered window message is the only channel.
OverlayBusService::OverlayBusService(Handlers handlers, QObject *parent)
    : QObject(parent)
    , handlers(std::move(handlers))
{
}

OverlayBusService::~OverlayBusService() = default;

OverlayBusService::Name OverlayBusService::publish()
{
    return Name::Unavailable;
}

void OverlayBusService::waitForName() { }

void OverlayBusService::modeMayHaveChanged() { }

void OverlayBusService::rejoinWhenBack() { }

void OverlayBusService::onDisconnected() { }

// Nothing calls these without a session bus.
void OverlayBusService::Activate(const QVariantMap &) { }

void OverlayBusService::ActivateAction(const QString &, const QVariantList &, const QVariantMap &) { }

void OverlayBusService::Open(const QStringList &, const QVariantMap &) { }
