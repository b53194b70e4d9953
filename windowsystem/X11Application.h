#ifndef X11APPLICATION_H
#define X11APPLICATION_H

#include <xcb/xcb.h>

// The application's own connection to the X server, where it runs on Qt's X11 platform: the one
// place that knows how the Qt the program is built with hands it out.
namespace X11Application {

// Whether the application runs on Qt's X11 platform (xcb).
bool isPlatformX11();
// The application's connection; null on any other platform or before the application exists.
xcb_connection_t *connection();
// The number of the X screen the application runs on, the display's default one.
int screenNumber();
// The root window of that screen; none (0) without a connection.
xcb_window_t rootWindow();

} // namespace X11Application

#endif // X11APPLICATION_H
