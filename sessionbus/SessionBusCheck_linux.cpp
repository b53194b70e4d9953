#include "SessionBusCheck.h"

#include "BusLogging.h"
#include "BusProbe.h"
#include "SessionBus.h"

#include <QDBusConnection>

namespace {

const char AddressVariable[] = "DBUS_SESSION_BUS_ADDRESS";
// Nothing listens on a device file: libdbus gives up on it at once.
const char NoBus[] = "unix:path=/dev/null";
// Half of the two seconds in which the overlay is to own its report channel: everything waits
// for this answer. A daemon at work answers within milliseconds.
constexpr int BoundMs = 1000;

} // namespace

SessionBusCheck::SessionBusCheck()
{
    const QString address = SessionBus::address();
    if (address.isEmpty() || BusProbe::ask(address, BoundMs) != BusProbe::Answer::Silent)
        return;
    stalled = true;
    stalledAddress = qgetenv(AddressVariable);
    qputenv(AddressVariable, NoBus);
}

void SessionBusCheck::settle()
{
    if (!stalled)
        return;
    // Qt keeps its session connection, connected or not, for the rest of the run; the variable
    // is back as the user gave it.
    QDBusConnection::sessionBus();
    if (stalledAddress.isEmpty())
        qunsetenv(AddressVariable);
    else
        qputenv(AddressVariable, stalledAddress);
    qCWarning(lcBus, "The session bus does not answer; reports arrive over X11 only");
}
