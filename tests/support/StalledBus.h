#ifndef STALLEDBUS_H
#define STALLEDBUS_H

#include <QProcess>
#include <QString>

// A private dbus-daemon that has been stopped (SIGSTOP) once it listens: it accepts connections
// and never answers, as a stuck daemon at login does. Continued and ended with the object.
class StalledBus
{
public:
    StalledBus();
    ~StalledBus();
    StalledBus(const StalledBus &) = delete;
    StalledBus &operator=(const StalledBus &) = delete;

    // Its address; empty when the daemon did not start.
    QString address() const { return busAddress; }

private:
    QProcess daemon;
    QString busAddress;
};

#endif // STALLEDBUS_H
