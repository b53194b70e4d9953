#include "XProbe.h"

#include "windowsystem/XAtom.h"

#include <QDeadlineTimer>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>

namespace {

template<typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template<typename T>
Reply<T> reply(T *raw)
{
    return Reply<T>(raw, &std::free);
}

} // namespace

XProbe::XProbe()
    : connection(xcb_connect(nullptr, &screen))
{
    if (isConnected()) {
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screen; ++i)
            xcb_screen_next(&screens);
        rootWindow = screens.data->root;
    }
}

XProbe::~XProbe()
{
    xcb_disconnect(connection);
}

bool XProbe::isConnected() const
{
    return !xcb_connection_has_error(connection);
}

QByteArray XProbe::traySelection() const
{
    return "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
}

xcb_atom_t XProbe::atom(const QByteArray &name)
{
    return XAtom::intern(connection, name.constData());
}

xcb_window_t XProbe::selectionOwner(const QByteArray &selection)
{
    const auto answer = reply(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom(selection)), nullptr));
    return answer ? answer->owner : xcb_window_t(XCB_WINDOW_NONE);
}

bool XProbe::isViewable(xcb_window_t window)
{
    const auto attributes = reply(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

QRect XProbe::geometry(xcb_window_t window)
{
    const auto answer =
        reply(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr));
    return answer ? QRect(answer->x, answer->y, answer->width, answer->height) : QRect();
}

QImage XProbe::image(const QRect &rect)
{
    const auto answer = reply(xcb_get_image_reply(connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, rootWindow, qint16(rect.x()), qint16(rect.y()),
            quint16(rect.width()), quint16(rect.height()), ~0u),
        nullptr));
    if (!answer || xcb_get_image_data_length(answer.get()) != rect.width() * rect.height() * 4)
        return QImage();
    // Depth 24 comes as 32 bits a pixel, in the byte order QImage's RGB32 expects on this machine.
    return QImage(xcb_get_image_data(answer.get()), rect.width(), rect.height(), QImage::Format_RGB32).copy();
}

xcb_window_t XProbe::parentOf(xcb_window_t window)
{
    const auto tree = reply(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    return tree ? tree->parent : xcb_window_t(XCB_WINDOW_NONE);
}

xcb_window_t XProbe::rootWindowProperty(const QByteArray &name)
{
    const auto property = reply(xcb_get_property_reply(connection,
        xcb_get_property(connection, false, rootWindow, atom(name), XCB_ATOM_WINDOW, 0, 1), nullptr));
    return property && property->value_len == 1
        ? *static_cast<xcb_window_t *>(xcb_get_property_value(property.get()))
        : xcb_window_t(XCB_WINDOW_NONE);
}

QList<xcb_window_t> XProbe::windowsBelow(xcb_window_t window)
{
    QList<xcb_window_t> windows;
    const auto tree = reply(xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr));
    if (!tree)
        return windows;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        windows << children[i] << windowsBelow(children[i]);
    return windows;
}

QList<xcb_window_t> XProbe::windowsOf(const QByteArray &instanceName)
{
    QList<xcb_window_t> windows;
    for (const xcb_window_t window : windowsBelow(rootWindow)) {
        const auto property = reply(xcb_get_property_reply(connection,
            xcb_get_property(connection, false, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr));
        if (!property)
            continue;
        // The instance name comes first, ended by a null byte.
        const QByteArray wmClass(static_cast<const char *>(xcb_get_property_value(property.get())),
            xcb_get_property_value_length(property.get()));
        if (wmClass.startsWith(QByteArray(instanceName).append('\0')))
            windows.append(window);
    }
    return windows;
}

xcb_window_t XProbe::window()
{
    if (ownWindow == XCB_WINDOW_NONE) {
        ownWindow = xcb_generate_id(connection);
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, ownWindow, rootWindow, 0, 0, 1, 1, 0,
            XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    }
    return ownWindow;
}

void XProbe::setProperty(const QByteArray &name, quint32 value)
{
    xcb_change_property(
        connection, XCB_PROP_MODE_REPLACE, window(), atom(name), XCB_ATOM_CARDINAL, 32, 1, &value);
    xcb_flush(connection);
}

void XProbe::takeSelection(const QByteArray &selection)
{
    setSelectionOwner(selection, window());
}

void XProbe::releaseSelection(const QByteArray &selection)
{
    setSelectionOwner(selection, XCB_WINDOW_NONE);
}

void XProbe::setSelectionOwner(const QByteArray &selection, xcb_window_t owner)
{
    xcb_set_selection_owner(connection, owner, atom(selection), XCB_CURRENT_TIME);
    // A flush only sends the request: the server may answer another client's question about the
    // owner before it reads this one. A round trip returns once the server has done it.
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
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
    return readEvents(timeoutMs, [](const xcb_generic_event_t *event) {
        return (event->response_type & 0x7f) == XCB_SELECTION_NOTIFY;
    });
}

void XProbe::watch(xcb_window_t window)
{
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

qint64 XProbe::cardinal(xcb_window_t window, const QByteArray &name)
{
    const auto property = reply(xcb_get_property_reply(connection,
        xcb_get_property(connection, false, window, atom(name), XCB_ATOM_CARDINAL, 0, 1), nullptr));
    return property && property->value_len == 1
        ? *static_cast<quint32 *>(xcb_get_property_value(property.get()))
        : -1;
}

bool XProbe::waitForCardinal(xcb_window_t window, const QByteArray &name, quint32 value, int timeoutMs)
{
    // Each change comes as an event; the value is asked after it, and once before the first.
    return cardinal(window, name) == value ||
        readEvents(timeoutMs, [&](const xcb_generic_event_t *) { return cardinal(window, name) == value; });
}

bool XProbe::readEvents(int timeoutMs, const std::function<bool(const xcb_generic_event_t *)> &done)
{
    const QDeadlineTimer deadline(timeoutMs);
    pollfd descriptor = {xcb_get_file_descriptor(connection), POLLIN, 0};
    while (!deadline.hasExpired()) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const bool finished = done(event);
            std::free(event);
            if (finished)
                return true;
        }
        if (xcb_connection_has_error(connection))
            return false;
        ::poll(&descriptor, 1, static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    return false;
}
