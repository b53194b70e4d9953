#include "BusClient.h"

#include "channel/ChannelNames.h"

#include <poll.h>
#include <stdexcept>
#include <string>

BusClient::BusClient()
{
    DBusError error;
    dbus_error_init(&error);
    connection = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!connection) {
        const std::string message = error.message ? error.message : "no address";
        dbus_error_free(&error);
        throw std::runtime_error("no session bus: " + message);
    }
    dbus_connection_set_exit_on_disconnect(connection, false);
    dbus_connection_get_unix_fd(connection, &fd);
}

BusClient::~BusClient()
{
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
}

int BusClient::descriptor() const
{
    return fd;
}

short BusClient::events() const
{
    return short(POLLIN | (dbus_connection_has_messages_to_send(connection) ? POLLOUT : 0));
}

void BusClient::transfer()
{
    // Each turn reads and writes a few KiB at most: turn until the socket has nothing more to give
    // or take.
    for (;;) {
        pollfd ready {fd, events(), 0};
        if (poll(&ready, 1, 0) <= 0 || !(ready.revents & (POLLIN | POLLOUT | POLLHUP | POLLERR)))
            break;
        if (!dbus_connection_read_write(connection, 0))
            throw std::runtime_error("lost the connection to the session bus");
        while (DBusMessage *message = dbus_connection_pop_message(connection)) {
            const int type = dbus_message_get_type(message);
            if (type == DBUS_MESSAGE_TYPE_METHOD_RETURN)
                ++answers;
            else if (type == DBUS_MESSAGE_TYPE_ERROR)
                ++errors;
            dbus_message_unref(message);
        }
    }
}

void BusClient::report(const std::vector<uint32_t> &parameters)
{
    for (const uint32_t parameter : parameters) {
        DBusMessage *call = dbus_message_new_method_call(
            ChannelNames::BusService, ChannelNames::BusPath, ChannelNames::BusInterface, "Report");
        if (!call)
            throw std::runtime_error("out of memory");
        // A report must reach the overlay that runs, not start one.
        dbus_message_set_auto_start(call, false);
        dbus_message_append_args(call, DBUS_TYPE_UINT32, &parameter, DBUS_TYPE_INVALID);
        dbus_connection_send(connection, call, nullptr);
        dbus_message_unref(call);
    }
    transfer();
}
