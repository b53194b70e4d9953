#include "X11Channel.h"

#include "ChannelLogging.h"
#include "ChannelNames.h"
#include "windowsystem/SelectionWatch.h"
#include "windowsystem/XAtom.h"

#include <QSocketNotifier>

#include <cstdlib>

namespace {

// Senders find the overlay as the owner of the selection named after the channel.
void takeChannel(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t atom)
{
    xcb_set_selection_owner(connection, window, atom, XCB_CURRENT_TIME);
    xcb_flush(connection);
}

} // namespace

xcb_atom_t X11Channel::hold(xcb_connection_t *connection, xcb_window_t window, SelectionWatch *watch)
{
    const xcb_atom_t atom = XAtom::intern(connection, ChannelNames::Report);
    QObject::connect(watch, &SelectionWatch::ownerChanged, watch, [connection, window, atom](quint32 owner) {
        if (owner == XCB_WINDOW_NONE)
            takeChannel(connection, window, atom);
        else if (owner != window)
            qCWarning(lcChannel, "Another client holds the report channel; taking it back when it lets go");
    });
    takeChannel(connection, window, atom);
    return atom;
}

bool X11Channel::readReport(const xcb_generic_event_t *event, xcb_atom_t atom, quint32 *parameter)
{
    // Events sent by another client carry the send-event bit.
    if (atom == XCB_ATOM_NONE || (event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto *clientMessage = reinterpret_cast<const xcb_client_message_event_t *>(event);
    if (clientMessage->format != 32 || clientMessage->type != atom)
        return false;
    *parameter = clientMessage->data.data32[0];
    return true;
}

X11Channel *X11Channel::openBeside(const std::function<bool(quint32)> &receive, QObject *parent)
{
    // xcb_connect would try ":0" without DISPLAY; only a server the session names is used.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return nullptr;
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return new X11Channel(connection, screen, receive, parent);
}

X11Channel::X11Channel(
    xcb_connection_t *connection, int screen, const std::function<bool(quint32)> &receive, QObject *parent)
    : QObject(parent)
    , connection(connection)
    , receive(receive)
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
        long result = 0;
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
    }
}
