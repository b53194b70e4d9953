#include "ModeChannel.h"

#include "ChannelNames.h"
#include "X11Channel.h"
#include "X11SideChannel.h"
#include "windowsystem/SelectionWatch.h"
#include "windowsystem/X11Application.h"
#include "windowsystem/XConnectAttempt.h"

#include <QGuiApplication>
#include <QPointer>

namespace {

// An X server that takes the connection and does not answer within this (a stopped XWayland) can
// tell nothing: the bus or the lock answers instead, and the start goes on.
constexpr int XAnswerMs = 1000;

xcb_atom_t channelAtom = XCB_ATOM_NONE;
QPointer<X11SideChannel> sideChannel;

} // namespace

void ModeChannel::listen(QWindow *window, const std::function<bool(quint32)> &receive)
{
    if (X11Application::isPlatformX11()) {
        // Watched before it is taken, so that no change of owner after the taking goes unseen.
        auto *watch = new SelectionWatch(ChannelNames::Report, window);
        channelAtom =
            X11Channel::hold(X11Application::connection(), static_cast<xcb_window_t>(window->winId()), watch);
    } else if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        sideChannel = new X11SideChannel(receive, window);
    }
}

bool ModeChannel::heldByAnotherOverlay()
{
    return X11Channel::heldByAnotherOverlay();
}

bool ModeChannel::holding()
{
    return X11Application::isPlatformX11() || (sideChannel && sideChannel->holding());
}

void ModeChannel::whenAnotherOverlayHolds(const std::function<void()> &handler)
{
    X11Channel::whenAnotherOverlayHolds(handler);
}

ModeChannel::Holder ModeChannel::holder()
{
    const auto holderOn = [](xcb_connection_t *connection) {
        return X11Channel::overlayWindow(connection) != XCB_WINDOW_NONE ? Holder::Overlay : Holder::NoOverlay;
    };
    if (X11Application::isPlatformX11())
        return holderOn(X11Application::connection());
    // xcb_connect would try ":0" without DISPLAY; only a server the session names counts.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return Holder::NoServer;
    XConnectAttempt attempt(qgetenv("DISPLAY"));
    xcb_connection_t *connection = attempt.take(XAnswerMs);
    if (!connection)
        return Holder::NoServer;
    const Holder found = xcb_connection_has_error(connection) ? Holder::NoServer : holderOn(connection);
    xcb_disconnect(connection);
    return found;
}

bool ModeChannel::readReport(const QByteArray &eventType, void *message, quint32 *parameter)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    return X11Channel::readReport(static_cast<const xcb_generic_event_t *>(message), channelAtom, parameter);
}
