#include "NativeWindow.h"

#include "LayerShell.h"
#include "X11Application.h"
#include "XAtom.h"
#include "XEvent.h"

#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// WM_HINTS as ICCCM lays it out: nine 32-bit fields, the flags first, then the input field.
constexpr int HintFields = 9;
constexpr quint32 InputHint = 1;

} // namespace

void NativeWindow::createWithoutFocus(QWidget *window)
{
    // Qt then writes _NET_WM_USER_TIME 0 before every map, which tells the window manager not to
    // activate the window; any other time would let it move the focus there.
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    const auto id = static_cast<xcb_window_t>(window->winId());
    if (LayerShell::inUse()) {
        LayerShell::place(window->windowHandle());
        return;
    }
    xcb_connection_t *connection = X11Application::connection();
    if (!connection)
        return;

    // Qt's own hints (the window group) are kept; only the input field changes. Qt rewrites the
    // field only when the window's flags change, and the overlay's never change after this.
    quint32 hints[HintFields] = {};
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection,
        xcb_get_property(connection, false, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, HintFields),
        nullptr);
    if (reply && reply->format == 32) {
        const int fields = std::min(HintFields, xcb_get_property_value_length(reply) / 4);
        std::memcpy(hints, xcb_get_property_value(reply), sizeof(quint32) * size_t(fields));
    }
    std::free(reply);
    hints[0] |= InputHint;
    hints[1] = 0;
    xcb_change_property(
        connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, HintFields, hints);
    // Managed, each window manager applied its own placement, focus and attention rules to the
    // display (focus taken on sway, attention flagged on mutter and KWin, a corner on weston).
    // Qt's own override-redirect flags would change the window's type; the attribute alone leaves
    // Qt's flags as they are.
    const quint32 overrideRedirect = 1;
    xcb_change_window_attributes(connection, id, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
    xcb_flush(connection);
}

void NativeWindow::raise(QWidget *window)
{
    // A layer surface is made anew at each show, on the output the compositor then chooses.
    if (LayerShell::inUse())
        LayerShell::place(window->windowHandle());
    else if (X11Application::isPlatformX11())
        window->raise();
}

void NativeWindow::sendPending()
{
    if (xcb_connection_t *connection = X11Application::connection())
        xcb_flush(connection);
}

bool NativeWindow::isCloseRequest(const QByteArray &eventType, void *message)
{
    // The window manager sends the request; any other client can send it as well.
    const xcb_client_message_event_t *clientMessage = XEvent::clientMessage(eventType, message);
    if (!clientMessage)
        return false;
    xcb_connection_t *connection = X11Application::connection();
    static const xcb_atom_t protocols = XAtom::intern(connection, "WM_PROTOCOLS");
    static const xcb_atom_t deleteWindow = XAtom::intern(connection, "WM_DELETE_WINDOW");
    return clientMessage->type == protocols && clientMessage->data.data32[0] == deleteWindow;
}
