#ifndef TRAYHOST_H
#define TRAYHOST_H

#include "Clock.h"

#include <xcb/xcb.h>

#include <optional>

class XServer;

// A system tray on one X server, as a panel would run it: it owns _NET_SYSTEM_TRAY_S<n>, embeds
// the icon windows that ask to dock (XEmbed) and watches them for their first drawing, so that the
// driver knows when a program's tray icon is on screen.
class TrayHost
{
public:
    explicit TrayHost(XServer &server);

    // True when the event was the tray's own business.
    bool handleEvent(const xcb_generic_event_t *event, TimePoint at);

    // Forgets the icon of the previous program.
    void reset();

    std::optional<TimePoint> dockedAt() const { return docked; }
    std::optional<TimePoint> lastIconDrawing() const { return drawn; }

private:
    void embed(xcb_window_t icon, TimePoint at);

    XServer &server;
    xcb_window_t trayWindow = XCB_NONE;
    xcb_atom_t opcodeAtom = XCB_ATOM_NONE;
    xcb_atom_t xembedAtom = XCB_ATOM_NONE;
    xcb_window_t icon = XCB_NONE;
    std::optional<TimePoint> docked;
    std::optional<TimePoint> drawn;
};

#endif // TRAYHOST_H
