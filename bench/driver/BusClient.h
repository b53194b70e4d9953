#ifndef BUSCLIENT_H
#define BUSCLIENT_H

#include <dbus/dbus.h>

#include <cstdint>
#include <vector>

// The driver's own connection to the session bus, through which it calls the overlay's Report as a
// companion would: with libdbus, the reference client library, many calls in flight at once.
class BusClient
{
public:
    // Connects to the bus that DBUS_SESSION_BUS_ADDRESS names.
    BusClient();
    ~BusClient();
    BusClient(const BusClient &) = delete;
    BusClient &operator=(const BusClient &) = delete;

    // What to wait for on descriptor(): the answers, and room to write while calls are queued.
    int descriptor() const;
    short events() const;
    // Writes what it can of the queued calls and reads the answers that have arrived.
    void transfer();

    // Queues one call of Report per parameter, to whoever owns the overlay's name; never starts one.
    void report(const std::vector<uint32_t> &parameters);

    // Calls answered so far, and calls that got an error instead.
    long answered() const { return answers; }
    long failed() const { return errors; }

private:
    DBusConnection *connection = nullptr;
    int fd = -1;
    long answers = 0;
    long errors = 0;
};

#endif // BUSCLIENT_H
