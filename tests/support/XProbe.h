#ifndef XPROBE_H
#define XPROBE_H

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>

#include <xcb/xcb.h>

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
    void takeSelection(const QByteArray &selection);
    // Gives up the selection, leaving it without an owner.
    void releaseSelection(const QByteArray &selection);
    void sendClientMessage(
        xcb_window_t window, const QByteArray &type, quint8 format, quint32 data0, quint32 data1 = 0);

    // Asks the selection's owner to convert it and waits for the answer. The owner handles its
    // events in order and answers after the requests it made for the earlier ones, so once this
    // returns true the server has seen everything the owner did about events sent before.
    bool syncWithOwner(const QByteArray &selection, int timeoutMs);

private:
    int screen = 0;
    xcb_connection_t *connection;
    xcb_window_t rootWindow = XCB_WINDOW_NONE;
    xcb_window_t ownWindow = XCB_WINDOW_NONE;
};

#endif // XPROBE_H
