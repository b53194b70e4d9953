#include "OverlayBusService.h"

// What the calls do, the same on every platform; the handlers are the overlay's.

uchar OverlayBusService::currentMode() const
{
    return uchar(handlers.currentMode());
}

bool OverlayBusService::Report(uint code)
{
    return handlers.report(code);
}

void OverlayBusService::Show()
{
    handlers.show();
}
