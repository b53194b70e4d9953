#ifndef XPROBE_H
#define XPROBE_H

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>

#include <xcb/xcb.h>

#include <functional>

// A connection of the test's own to the X server, to look at the overlay from outside and to
// talk to it as another client would.
class XProbe
{
public:
    XProbe();
    ~XProbe();
    XProbe(const XProbe &) = delete;
    XProbe &operator=(const XProbe &) = delete;

    bool isConnected() const;
    xcb_window_t root() const { return rootWindow; }
    // The selection that the system tray of the probe's screen owns.
    QByteArray traySelection() const;
    xcb_atom_t atom(const QByteArray &name);
    xcb_window_t selectionOwner(const QByteArray &selection);

    bool isViewable(xcb_window_t window);
    QRect geometry(xcb_window_t window);
    // What the screen shows in that rectangle of the root window (a 24-bit server's pixels).
    QImage image(const QRect &rect);
    xcb_window_t parentOf(xcb_window_t window);
    // The window that a property of the root window names, as the window manager's do.
    xcb_window_t rootWindowProperty(const QByteArray &name);
    // The windows below the given one, at any depth, each before those below it.
    QList<xcb_window_t> windowsBelow(xcb_window_t window);
    // The windows of the screen whose WM_CLASS instance name is the given one.
    QList<xcb_window_t> windowsOf(const QByteArray &instanceName);

    // A window of the probe's own, created on first use.
    xcb_window_t window();
    // Sets a 32-bit CARDINAL property on that window.
    void setProperty(const QByteArray &name, quint32 value);
    // Takes the selection; done in the server when this returns, as every change of owner here.
    void takeSelection(const QByteArray &selection);
    // Gives up the selection, leaving it without an owner.
    void releaseSelection(const QByteArray &selection);
    void sendClientMessage(
        xcb_window_t window, const QByteArray &type, quint8 format, quint32 data0, quint32 data1 = 0);

    // Asks the selection's owner to convert it and waits for the answer. The owner handles its
    // events in order and answers after the requests it made for the earlier ones, so once this
    // returns true the server has seen everything the owner did about events sent before.
    bool syncWithOwner(const QByteArray &selection, int timeoutMs);

    // Asks for another client's window's property changes and unmapping, which the calls below read.
    void watch(xcb_window_t window);
    // The window's 32-bit property as the server has it now; -1 where it has none.
    qint64 cardinal(xcb_window_t window, const QByteArray &name);
    // Waits, without running the caller's event loop, until the watched window's property has the
    // value; false when it does not within the time.
    bool waitForCardinal(xcb_window_t window, const QByteArray &name, quint32 value, int timeoutMs);

private:
    void setSelectionOwner(const QByteArray &selection, xcb_window_t owner);
    // Hands the events that come within the time to the function until it returns true; false when
    // none did by then.
    bool readEvents(int timeoutMs, const std::function<bool(const xcb_generic_event_t *)> &done);

    int screen = 0;
    xcb_connection_t *connection;
    xcb_window_t rootWindow = XCB_WINDOW_NONE;
    xcb_window_t ownWindow = XCB_WINDOW_NONE;
};

#endif // XPROBE_H
