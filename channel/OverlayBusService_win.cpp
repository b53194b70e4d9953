#include "OverlayBusService.h"

// Windows has no session bus: its registered window message is the only channel.
class OverlayBusObject
{
};

OverlayBusService::OverlayBusService(Handlers) { }

OverlayBusService::~OverlayBusService() = default;

void OverlayBusService::publish() { }

void OverlayBusService::modeMayHaveChanged() { }
