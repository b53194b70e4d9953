#include "BusAutolaunch.h"

#include "SessionBus.h"

#include <QByteArray>

void BusAutolaunch::prevent()
{
    // An address of a kind libdbus does not know fails at once, without an autolaunch.
    if (!SessionBus::provided())
        qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArrayLiteral("disabled:"));
}
