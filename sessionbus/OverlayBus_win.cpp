#include "OverlayBus.h"

#include <utility>

// Windows has no session bus: its registered window message is the only channel.
OverlayBus::OverlayBus(Handlers handlers, QObject *parent)
    : QObject(parent)
    , handlers(std::move(handlers))
{
}

OverlayBus::~OverlayBus() = default;

OverlayBus::Name OverlayBus::publish()
{
    return Name::Unavailable;
}

void OverlayBus::waitForName() { }

void OverlayBus::setCurrentMode(int) { }

void OverlayBus::rejoinWhenBack() { }
