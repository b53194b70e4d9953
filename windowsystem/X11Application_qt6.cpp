#include "X11Application.h"

#include <QGuiApplication>

#include <X11/Xlib.h>

namespace {

// Asked on Qt's X11 platform alone: the offscreen platform offers the interface too, without a
// connection.
QNativeInterface::QX11Application *x11()
{
    return X11Application::isPlatformX11() ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                           : nullptr;
}

} // namespace

bool X11Application::isPlatformX11()
{
    return qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb");
}

xcb_connection_t *X11Application::connection()
{
    auto *application = x11();
    return application ? application->connection() : nullptr;
}

// Qt 6 names neither the screen nor its root window: the display that Qt opened knows its
// default screen (the one DISPLAY or -display names), and the connection's set-up lists the roots.
int X11Application::screenNumber()
{
    auto *application = x11();
    Display *display = application ? application->display() : nullptr;
    return display ? DefaultScreen(display) : 0;
}

xcb_window_t X11Application::rootWindow()
{
    xcb_connection_t *connection = X11Application::connection();
    if (!connection)
        return XCB_WINDOW_NONE;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int number = screenNumber(); number > 0 && screens.rem > 0; --number)
        xcb_screen_next(&screens);
    return screens.rem > 0 ? screens.data->root : xcb_window_t(XCB_WINDOW_NONE);
}
