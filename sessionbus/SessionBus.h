#ifndef SESSIONBUS_H
#define SESSIONBUS_H

#include <QString>

// The session's own bus (Linux).
namespace SessionBus {

// Whether the session provides a bus: an address in DBUS_SESSION_BUS_ADDRESS, or the user's bus
// in XDG_RUNTIME_DIR. Where it does not, asking for the session bus would make libdbus start a
// bus of its own for the X display, which nothing else uses and which outlives the program.
bool provided();
// The address of that bus; empty where the session provides none.
QString address();

} // namespace SessionBus

#endif // SESSIONBUS_H
