#ifndef SESSIONBUSCHECK_H
#define SESSIONBUSCHECK_H

#include <QByteArray>

// Whether the session's bus answers, asked once at start before anything else asks it. Qt asks
// it while the application object and the first widgets are made (platform theme, accessibility
// bridge, tray icon), and libdbus waits without a bound for a daemon that accepts connections
// and then stalls (a stuck dbus-daemon at login). A bus that has not answered within the bound
// is left alone for the whole run, with one warning: Qt is given a session connection that is
// not connected, and every part of the program goes on as where there is no bus.
class SessionBusCheck
{
public:
    // Asks the bus; to be made before the application object.
    SessionBusCheck();
    // Gives Qt its connection where the bus did not answer; once the application object exists.
    void settle();

private:
    bool stalled = false;
    QByteArray stalledAddress;
};

#endif // SESSIONBUSCHECK_H
