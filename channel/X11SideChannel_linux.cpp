#include "X11SideChannel.h"

#include "ChannelLogging.h"
#include "X11Channel.h"
#include "windowsystem/XConnectAttempt.h"

#include <QSocketNotifier>

X11SideChannel::X11SideChannel(const std::function<bool(quint32)> &receive, QObject *parent)
    : QObject(parent)
    , receive(receive)
    , display(qgetenv("DISPLAY"))
{
    if (display.isEmpty())
        return;
    retry.setSingleShot(true);
    connect(&retry, &QTimer::timeout, this, &X11SideChannel::attempt);
    attempt();
}

X11SideChannel::~X11SideChannel() = default;

void X11SideChannel::attempt()
{
    pending = std::make_unique<XConnectAttempt>(display);
    pendingEnd = std::make_unique<QSocketNotifier>(pending->endedDescriptor(), QSocketNotifier::Read);
    connect(pendingEnd.get(), &QSocketNotifier::activated, this, &X11SideChannel::attemptEnded);
}

void X11SideChannel::attemptEnded()
{
    int screen = 0;
    xcb_connection_t *connection = pending->take(0, &screen);
    pendingEnd.reset();
    pending.reset();
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection)
            xcb_disconnect(connection);
        retry.start(retryMs);
        retryMs = qMin(retryMs * 2, LongestRetryMs);
        return;
    }
    retryMs = FirstRetryMs;
    channel = X11Channel::openBeside(
        connection, screen, receive, [this] { serverGone(); }, this);
    // There is room for one overlay, as when the channel is taken at the start on X11: the
    // instance guard hears that another holds it.
    if (X11Channel::heldByAnotherOverlay())
        return;
    if (lost)
        qCWarning(lcChannel, "The X server is back; reports over X11 again");
    lost = false;
}

void X11SideChannel::serverGone()
{
    channel->deleteLater();
    channel = nullptr;
    lost = true;
    retry.start(retryMs);
}
