#include "ModeChannel.h"

#include "ChannelLogging.h"
#include "ChannelNames.h"
#include "windowsystem/SelectionWatch.h"
#include "windowsystem/XAtom.h"
#include "windowsystem/XEvent.h"

#include <QX11Info>

#include <xcb/xcb.h>

namespace {

xcb_atom_t channelAtom = XCB_ATOM_NONE;

// Senders find the overlay as the owner of the selection named after the channel.
void takeChannel(WId window)
{
    xcb_connection_t *connection = QX11Info::connection();
    xcb_set_selection_owner(connection, static_cast<xcb_window_t>(window), channelAtom, XCB_CURRENT_TIME);
    xcb_flush(connection);
}

} // namespace

void ModeChannel::listen(QWindow *window)
{
    xcb_connection_t *connection = QX11Info::connection();
    if (!connection)
        return;
    channelAtom = XAtom::intern(connection, ChannelNames::Report);
    // Watched before it is taken, so that no change of owner after the taking goes unseen.
    auto *watch = new SelectionWatch(ChannelNames::Report, window);
    QObject::connect(watch, &SelectionWatch::ownerChanged, window, [window](quint32 owner) {
        if (owner == XCB_WINDOW_NONE)
            takeChannel(window->winId());
        else if (owner != window->winId())
            qCWarning(lcChannel, "Another client holds the report channel; taking it back when it lets go");
    });
    takeChannel(window->winId());
}

bool ModeChannel::readReport(const QByteArray &eventType, void *message, quint32 *parameter)
{
    if (channelAtom == XCB_ATOM_NONE)
        return false;
    const xcb_client_message_event_t *clientMessage = XEvent::clientMessage(eventType, message);
    if (!clientMessage || clientMessage->type != channelAtom)
        return false;
    *parameter = clientMessage->data.data32[0];
    return true;
}
