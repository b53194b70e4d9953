#ifndef X11CHANNEL_H
#define X11CHANNEL_H

#include <QObject>

#include <xcb/xcb.h>

#include <functional>
#include <memory>

class QSocketNotifier;
class SelectionWatch;

// The report channel on an X connection: the application's own on X11, or, beside a display that
// is not X11 (a Wayland layer surface), a connection of the channel's own, so that companions that
// send over X11 keep reaching the overlay. On either, the same rules: the channel's selection is
// taken, and taken back when another client lets it go.
class X11Channel : public QObject
{
public:
    // Takes the channel for the window and keeps it through the watch, which must follow the
    // channel's selection on the same connection. Returns the channel's atom.
    // The window is marked as an overlay's. Where another overlay holds the channel, this one
    // leaves it to that one and heldByAnotherOverlay() says so; where another overlay takes it
    // later, the handler given to whenAnotherOverlayHolds() hears of it too. What becomes of
    // this program is not the channel's to decide.
    static xcb_atom_t hold(xcb_connection_t *connection, xcb_window_t window, SelectionWatch *watch);
    static bool heldByAnotherOverlay();
    static void whenAnotherOverlayHolds(const std::function<void()> &handler);

    // The overlay's window that holds the channel on the connection's server; XCB_WINDOW_NONE when
    // nothing does, or a client that is no overlay (a stranger).
    static xcb_window_t overlayWindow(xcb_connection_t *connection);

    // True when the event is a report on the channel's atom; its parameter is stored in *parameter.
    static bool readReport(const xcb_generic_event_t *event, xcb_atom_t atom, quint32 *parameter);

    // Holds the channel through a connection of its own to the X server DISPLAY names, which it
    // takes over and closes. receive is handed each report; gone is called once the server has
    // gone away, and the channel is then of no further use.
    static X11Channel *openBeside(xcb_connection_t *connection, int screen,
        const std::function<bool(quint32)> &receive, const std::function<void()> &gone, QObject *parent);
    ~X11Channel() override;

private:
    struct Disconnect
    {
        void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
    };

    X11Channel(xcb_connection_t *connection, int screen, const std::function<bool(quint32)> &receive,
        const std::function<void()> &gone, QObject *parent);
    void readEvents();

    // Declared first, so that it is closed after the watch and the notifier that use it.
    std::unique_ptr<xcb_connection_t, Disconnect> connection;
    xcb_atom_t atom = XCB_ATOM_NONE;
    std::unique_ptr<SelectionWatch> watch;
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<bool(quint32)> receive;
    std::function<void()> gone;
};

#endif // X11CHANNEL_H
