#include "X11Application.h"

#include <QX11Info>

bool X11Application::isPlatformX11()
{
    return QX11Info::isPlatformX11();
}

xcb_connection_t *X11Application::connection()
{
    return QX11Info::connection();
}

int X11Application::screenNumber()
{
    return QX11Info::appScreen();
}

xcb_window_t X11Application::rootWindow()
{
    return static_cast<xcb_window_t>(QX11Info::appRootWindow());
}
