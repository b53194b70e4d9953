#ifndef XSERVER_H
#define XSERVER_H

#include <xcb/xcb.h>

#include <cstdint>
#include <string>
#include <sys/types.h>

// A private Xvfb with the driver's own connection to it. The damage and XFixes extensions are
// set up, so that the driver sees drawing on a window and changes of a selection's owner.
class XServer
{
public:
    explicit XServer(const std::string &logPath);
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    const std::string &displayName() const { return name; }
    xcb_connection_t *connection() const { return conn; }
    xcb_screen_t *screen() const { return defaultScreen; }
    int screenNumber() const { return screenIndex; }
    uint8_t damageEventBase() const { return damageBase; }
    uint8_t xfixesEventBase() const { return xfixesBase; }

    xcb_atom_t atom(const char *atomName);

    // The pixel at (x, y) of a viewable window as 0xAARRGGBB; false when it cannot be read
    // (the window is unmapped or gone).
    bool pixel(xcb_window_t window, int x, int y, uint32_t *value);

private:
    pid_t pid = -1;
    std::string name;
    xcb_connection_t *conn = nullptr;
    xcb_screen_t *defaultScreen = nullptr;
    int screenIndex = 0;
    uint8_t damageBase = 0;
    uint8_t xfixesBase = 0;
};

#endif // XSERVER_H
