#include "WindowShape.h"

#include "SelectionWatch.h"
#include "X11Application.h"
#include "XAtom.h"

#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

WindowShape::WindowShape(QWidget *window)
    : QObject(window)
    , window(window)
{
    window->installEventFilter(this);
    xcb_connection_t *connection = X11Application::connection();
    if (!connection)
        return;
    // A compositing manager owns this selection for the screen it composites, as long as it runs.
    const QByteArray selection = "_NET_WM_CM_S" + QByteArray::number(X11Application::screenNumber());
    auto *watch = new SelectionWatch(selection, this);
    connect(watch, &SelectionWatch::ownerChanged, this, [this](quint32 owner) { setComposited(owner != 0); });
    // The watch tells of changes only; who owns it now is asked once, after the watch is in place.
    xcb_get_selection_owner_reply_t *reply = xcb_get_selection_owner_reply(connection,
        xcb_get_selection_owner(connection, XAtom::intern(connection, selection.constData())), nullptr);
    setComposited(reply && reply->owner != XCB_WINDOW_NONE);
    std::free(reply);
}
