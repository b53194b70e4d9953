#include "XProbe.h"

#include "platform/XAtom.h"

#include <QDeadlineTimer>

#include <cstdlib>
#include <cstring>
#include <poll.h>

XProbe::XProbe()
    : connection(xcb_connect(nullptr, nullptr))
{
}

XProbe::~XProbe()
{
    xcb_disconnect(connection);
}

bool XProbe::isConnected() const
{
    return !xcb_connection_has_error(connection);
}

xcb_atom_t XProbe::atom(const QByteArray &name)
{
    return XAtom::intern(connection, name.constData());
}

xcb_window_t XProbe::selectionOwner(const QByteArray &selection)
{
    const xcb_get_selection_owner_cookie_t cookie = xcb_get_selection_owner(connection, atom(selection));
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(connection, cookie, nullptr);
    if (!reply)
        return XCB_WINDOW_NONE;
    const xcb_window_t owner = reply->owner;
    std::free(reply);
    return owner;
}

bool XProbe::isViewable(xcb_window_t window)
{
    const xcb_get_window_attributes_cookie_t cookie = xcb_get_window_attributes(connection, window);
    xcb_get_window_attributes_reply_t *reply = xcb_get_window_attributes_reply(connection, cookie, nullptr);
    if (!reply)
        return false;
    const bool viewable = reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return viewable;
}

QSize XProbe::size(xcb_window_t window)
{
    const xcb_get_geometry_cookie_t cookie = xcb_get_geometry(connection, window);
    xcb_get_geometry_reply_t *reply = xcb_get_geometry_reply(connection, cookie, nullptr);
    if (!reply)
        return QSize();
    const QSize result(reply->width, reply->height);
    std::free(reply);
    return result;
}

xcb_window_t XProbe::window()
{
    if (ownWindow == XCB_WINDOW_NONE) {
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        ownWindow = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, ownWindow, screen->root, 0, 0, 1, 1, 0,
            XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    }
    return ownWindow;
}

void XProbe::takeSelection(const QByteArray &selection)
{
    xcb_set_selection_owner(connection, window(), atom(selection), XCB_CURRENT_TIME);
    xcb_flush(connection);
}

void XProbe::releaseSelection(const QByteArray &selection)
{
    xcb_set_selection_owner(connection, XCB_WINDOW_NONE, atom(selection), XCB_CURRENT_TIME);
    xcb_flush(connection);
}

void XProbe::sendClientMessage(
    xcb_window_t window, const QByteArray &type, quint8 format, quint32 data0, quint32 data1)
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = format;
    event.window = window;
    event.type = atom(type);
    event.data.data32[0] = data0;
    event.data.data32[1] = data1;
    xcb_send_event(
        connection, false, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(connection);
}

bool XProbe::syncWithOwner(const QByteArray &selection, int timeoutMs)
{
    const xcb_atom_t property = atom("LUMIVANE_TEST_SYNC");
    xcb_convert_selection(connection, window(), atom(selection), atom("TARGETS"), property, XCB_CURRENT_TIME);
    xcb_flush(connection);

    const QDeadlineTimer deadline(timeoutMs);
    pollfd descriptor = {xcb_get_file_descriptor(connection), POLLIN, 0};
    while (!deadline.hasExpired()) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const bool answered = (event->response_type & 0x7f) == XCB_SELECTION_NOTIFY;
            std::free(event);
            if (answered)
                return true;
        }
        if (xcb_connection_has_error(connection))
            return false;
        ::poll(&descriptor, 1, static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    return false;
}
