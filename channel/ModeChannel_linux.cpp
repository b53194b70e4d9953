#include "ModeChannel.h"

#include "ChannelLogging.h"
#include "ChannelNames.h"
#include "windowsystem/SelectionWatch.h"
#include "windowsystem/XAtom.h"
#include "windowsystem/XEvent.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

xcb_atom_t channelAtom = XCB_ATOM_NONE;
xcb_atom_t overlayAtom = XCB_ATOM_NONE;
bool yielded = false;

// Senders find the overlay as the owner of the selection named after the channel.
void takeChannel(WId window)
{
    xcb_connection_t *connection = QX11Info::connection();
    xcb_set_selection_owner(connection, static_cast<xcb_window_t>(window), channelAtom, XCB_CURRENT_TIME);
    xcb_flush(connection);
}

// Whether the window is an overlay's: overlays mark their window, other clients do not.
bool isOverlay(xcb_connection_t *connection, xcb_window_t window)
{
    if (window == XCB_WINDOW_NONE || overlayAtom == XCB_ATOM_NONE)
        return false;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, false, window, overlayAtom, XCB_ATOM_ANY, 0, 0);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
    const bool marked = reply && reply->type != XCB_ATOM_NONE;
    free(reply);
    return marked;
}

xcb_window_t channelOwner(xcb_connection_t *connection)
{
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, channelAtom), nullptr);
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
    free(reply);
    return owner;
}

// A client that takes the channel and lets it go in a loop would otherwise fill the log: the
// first taking is reported at once, later ones at most once a minute, with their count.
class TakingLog
{
public:
    void note()
    {
        ++unreported;
        if (clock.isValid() && clock.elapsed() < IntervalMs)
            return;
        if (clock.isValid())
            qCWarning(
                lcChannel, "Another client took the report channel %d times in the last minute", unreported);
        else
            qCWarning(lcChannel, "Another client holds the report channel; taking it back when it lets go");
        clock.start();
        unreported = 0;
    }

private:
    static constexpr qint64 IntervalMs = 60 * 1000;
    QElapsedTimer clock;
    int unreported = 0;
};

} // namespace

void ModeChannel::listen(QWindow *window)
{
    xcb_connection_t *connection = QX11Info::connection();
    if (!connection)
        return;
    channelAtom = XAtom::intern(connection, ChannelNames::Report);
    overlayAtom = XAtom::intern(connection, ChannelNames::OverlayWindow);
    const auto id = static_cast<xcb_window_t>(window->winId());
    const quint32 pid = quint32(QCoreApplication::applicationPid());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, overlayAtom, XCB_ATOM_CARDINAL, 32, 1, &pid);
    // Watched before it is taken, so that no change of owner after the taking goes unseen.
    auto *watch = new SelectionWatch(ChannelNames::Report, window);
    auto log = std::make_shared<TakingLog>();
    QObject::connect(watch, &SelectionWatch::ownerChanged, window, [window, log](quint32 owner) {
        if (owner == XCB_WINDOW_NONE) {
            takeChannel(window->winId());
        } else if (owner != window->winId()) {
            if (!isOverlay(QX11Info::connection(), owner)) {
                log->note();
                return;
            }
            // Another overlay took the channel from a stranger that held it when this one started;
            // there is room for one.
            yielded = true;
            QCoreApplication::exit(0);
        }
    });
    // Looked at and taken under a grab of the server, so that of overlays started at the same
    // moment the first one keeps the channel and every other sees it held. A stranger holding it
    // is not asked.
    xcb_grab_server(connection);
    if (isOverlay(connection, channelOwner(connection)))
        yielded = true;
    else
        xcb_set_selection_owner(connection, id, channelAtom, XCB_CURRENT_TIME);
    xcb_ungrab_server(connection);
    xcb_flush(connection);
}

bool ModeChannel::heldByAnotherOverlay()
{
    return yielded;
}

bool ModeChannel::overlayRunning()
{
    xcb_connection_t *connection = QX11Info::connection();
    if (!connection)
        return false;
    if (channelAtom == XCB_ATOM_NONE)
        channelAtom = XAtom::intern(connection, ChannelNames::Report);
    if (overlayAtom == XCB_ATOM_NONE)
        overlayAtom = XAtom::intern(connection, ChannelNames::OverlayWindow);
    return isOverlay(connection, channelOwner(connection));
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
