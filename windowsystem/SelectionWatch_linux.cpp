#include "SelectionWatch.h"

#include "X11Application.h"
#include "XAtom.h"
#include "XEvent.h"

#include <QCoreApplication>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <cstdlib>

SelectionWatch::SelectionWatch(const QByteArray &selection, QObject *parent)
    : SelectionWatch(X11Application::connection(), X11Application::rootWindow(), selection, parent)
{
}

SelectionWatch::SelectionWatch(
    xcb_connection_t *connection, quint32 root, const QByteArray &selection, QObject *parent)
    : QObject(parent)
{
    if (!connection)
        return;
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (!extension || !extension->present)
        return;
    // Selection events came with version 1; a client names the version it speaks before using any.
    xcb_xfixes_query_version_reply_t *version = xcb_xfixes_query_version_reply(connection,
        xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr);
    if (!version)
        return;
    std::free(version);

    this->connection = connection;
    selectionAtom = XAtom::intern(connection, selection.constData());
    window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    notifyEvent = extension->first_event + XCB_XFIXES_SELECTION_NOTIFY;
    QCoreApplication::instance()->installNativeEventFilter(this);
    xcb_xfixes_select_selection_input(connection, window, selectionAtom,
        XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
            XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
            XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(connection);
}

SelectionWatch::~SelectionWatch()
{
    // Destroying the window also ends the server's selection events to it.
    if (connection && window != XCB_WINDOW_NONE) {
        xcb_destroy_window(connection, window);
        xcb_flush(connection);
    }
}

bool SelectionWatch::nativeEventFilter(const QByteArray &eventType, void *message, NativeEventResult *)
{
    const auto *notify = XEvent::as<xcb_xfixes_selection_notify_event_t>(eventType, message, notifyEvent);
    if (!notify || notify->window != window || notify->selection != selectionAtom)
        return false;
    // The server names no owner for a destroyed window or a departed client: the selection is free.
    Q_EMIT ownerChanged(notify->owner);
    // Toolkit code may watch selections too; the event goes on to it.
    return false;
}
