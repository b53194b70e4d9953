#include "X11Channel.h"

#include "ChannelLogging.h"
#include "ChannelNames.h"
#include "windowsystem/SelectionWatch.h"
#include "windowsystem/XAtom.h"
#include "windowsystem/XEvent.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>

#include <cstdlib>
#include <memory>

namespace {

bool yielded = false;
std::function<void()> yieldHandler;

void yield()
{
    yielded = true;
    if (yieldHandler)
        yieldHandler();
}

// Senders find the overlay as the owner of the selection named after the channel.
void takeChannel(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t atom)
{
    xcb_set_selection_owner(connection, window, atom, XCB_CURRENT_TIME);
    xcb_flush(connection);
}

// Whether the window is an overlay's: overlays mark their window, other clients do not.
bool isOverlay(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t mark)
{
    if (window == XCB_WINDOW_NONE)
        return false;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, false, window, mark, XCB_ATOM_ANY, 0, 0);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
    const bool marked = reply && reply->type != XCB_ATOM_NONE;
    free(reply);
    return marked;
}

xcb_window_t channelOwner(xcb_connection_t *connection, xcb_atom_t atom)
{
    xcb_get_selection_owner_reply_t *reply =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom), nullptr);
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

xcb_atom_t X11Channel::hold(xcb_connection_t *connection, xcb_window_t window, SelectionWatch *watch)
{
    const xcb_atom_t atom = XAtom::intern(connection, ChannelNames::Report);
    const xcb_atom_t mark = XAtom::intern(connection, ChannelNames::OverlayWindow);
    const quint32 pid = quint32(QCoreApplication::applicationPid());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, mark, XCB_ATOM_CARDINAL, 32, 1, &pid);
    auto log = std::make_shared<TakingLog>();
    QObject::connect(
        watch, &SelectionWatch::ownerChanged, watch, [connection, window, atom, mark, log](quint32 owner) {
            if (owner == XCB_WINDOW_NONE) {
                takeChannel(connection, window, atom);
            } else if (owner != window) {
                if (!isOverlay(connection, owner, mark)) {
                    log->note();
                    return;
                }
                // Another overlay took the channel from a stranger that held it when this one started.
                yield();
            }
        });
    // Looked at and taken under a grab of the server, so that of overlays started at the same
    // moment the first one keeps the channel and every other sees it held. A stranger holding it
    // is not asked.
    xcb_grab_server(connection);
    if (isOverlay(connection, channelOwner(connection, atom), mark))
        yield();
    else
        xcb_set_selection_owner(connection, window, atom, XCB_CURRENT_TIME);
    xcb_ungrab_server(connection);
    xcb_flush(connection);
    return atom;
}

bool X11Channel::heldByAnotherOverlay()
{
    return yielded;
}

void X11Channel::whenAnotherOverlayHolds(const std::function<void()> &handler)
{
    yieldHandler = handler;
}

xcb_window_t X11Channel::overlayWindow(xcb_connection_t *connection)
{
    // Looked up without being made: while either name is unknown to the server, no overlay runs.
    const xcb_atom_t atom = XAtom::intern(connection, ChannelNames::Report, true);
    const xcb_atom_t mark = XAtom::intern(connection, ChannelNames::OverlayWindow, true);
    if (atom == XCB_ATOM_NONE || mark == XCB_ATOM_NONE)
        return XCB_WINDOW_NONE;
    const xcb_window_t owner = channelOwner(connection, atom);
    return isOverlay(connection, owner, mark) ? owner : xcb_window_t(XCB_WINDOW_NONE);
}

bool X11Channel::readReport(const xcb_generic_event_t *event, xcb_atom_t atom, quint32 *parameter)
{
    const xcb_client_message_event_t *clientMessage = XEvent::clientMessage(event);
    if (atom == XCB_ATOM_NONE || !clientMessage || clientMessage->type != atom)
        return false;
    *parameter = clientMessage->data.data32[0];
    return true;
}

X11Channel *X11Channel::openBeside(xcb_connection_t *connection, int screen,
    const std::function<bool(quint32)> &receive, const std::function<void()> &gone, QObject *parent)
{
    return new X11Channel(connection, screen, receive, gone, parent);
}

X11Channel::X11Channel(xcb_connection_t *connection, int screen, const std::function<bool(quint32)> &receive,
    const std::function<void()> &gone, QObject *parent)
    : QObject(parent)
    , connection(connection)
    , receive(receive)
    , gone(gone)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (; screens.rem > 1 && screen > 0; --screen)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    // Never mapped: it only owns the selection and receives the reports.
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, 0, 0, 1, 1, 0,
        XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    // Watched before it is taken, so that no change of owner after the taking goes unseen.
    watch = std::make_unique<SelectionWatch>(connection, root, ChannelNames::Report);
    atom = hold(connection, window, watch.get());
    notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection), QSocketNotifier::Read);
    connect(notifier.get(), &QSocketNotifier::activated, this, &X11Channel::readEvents);
    // Replies read while setting up may have brought events along, which the socket no longer shows.
    readEvents();
}

X11Channel::~X11Channel() = default;

void X11Channel::readEvents()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection.get())) {
        quint32 parameter = 0;
        NativeEventResult result = 0;
        if (readReport(event, atom, &parameter))
            receive(parameter);
        else
            watch->nativeEventFilter("xcb_generic_event_t", event, &result);
        std::free(event);
    }
    if (xcb_connection_has_error(connection.get())) {
        // The server went away (XWayland ends with its compositor); the session bus still carries reports.
        notifier->setEnabled(false);
        qCWarning(lcChannel, "The X server went away; reports over X11 end here");
        gone();
    }
}
