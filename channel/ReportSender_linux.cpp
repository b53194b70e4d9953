#include "ReportSender.h"

#include "ChannelNames.h"
#include "X11Channel.h"
#include "windowsystem/XAtom.h"
#include "windowsystem/XConnectAttempt.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

// How long the sender waits for an X server that took the connection to answer it (a stopped
// XWayland never does) before it gives up.
constexpr int ConnectBoundMs = 3000;

} // namespace

struct ReportSender::Native
{
    xcb_connection_t *connection = nullptr;
    xcb_atom_t channel = XCB_ATOM_NONE;
    // The overlay window found by the last look-up.
    xcb_window_t owner = XCB_WINDOW_NONE;
};

ReportSender::ReportSender()
    : native(new Native)
{
    // xcb_connect would try ":0" without DISPLAY.
    const QByteArray display = qgetenv("DISPLAY");
    if (!display.isEmpty())
        native->connection = XConnectAttempt(display).take(ConnectBoundMs);
}

ReportSender::~ReportSender()
{
    if (native->connection)
        xcb_disconnect(native->connection);
}

bool ReportSender::overlayRunning()
{
    xcb_connection_t *connection = native->connection;
    native->owner = XCB_WINDOW_NONE;
    if (!connection || xcb_connection_has_error(connection)) {
        const QByteArray display = qgetenv("DISPLAY");
        if (display.isEmpty())
            error = QStringLiteral("cannot connect to an X display (DISPLAY is not set)");
        else if (!connection)
            error = QStringLiteral("the X display \"%1\" does not answer (waited %2 s)")
                        .arg(QString::fromLocal8Bit(display))
                        .arg(ConnectBoundMs / 1000);
        else
            error =
                QStringLiteral("cannot connect to the X display \"%1\"").arg(QString::fromLocal8Bit(display));
        return false;
    }
    // Only an overlay's marked window takes a report: sent to a stranger holding the selection,
    // it would be lost.
    native->owner = X11Channel::overlayWindow(connection);
    if (native->owner != XCB_WINDOW_NONE) {
        if (native->channel == XCB_ATOM_NONE)
            native->channel = XAtom::intern(connection, ChannelNames::Report, true);
        return true;
    }
    error =
        QStringLiteral("no overlay is running (the selection \"%1\" has no overlay's window as its owner)")
            .arg(QLatin1String(ChannelNames::Report));
    return false;
}

bool ReportSender::send(quint32 parameter)
{
    if (!overlayRunning())
        return false;
    xcb_connection_t *connection = native->connection;
    const xcb_window_t owner = native->owner;

    // The server copies exactly 32 bytes of the event.
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = owner;
    event.type = native->channel;
    event.data.data32[0] = parameter;
    const xcb_void_cookie_t cookie = xcb_send_event_checked(
        connection, false, owner, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    // Waiting for the answer also flushes the request, so the report is on its way on return.
    if (xcb_generic_error_t *sendError = xcb_request_check(connection, cookie)) {
        std::free(sendError);
        error = QStringLiteral("the overlay went away before the report reached it");
        return false;
    }
    return true;
}
