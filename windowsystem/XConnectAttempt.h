#ifndef XCONNECTATTEMPT_H
#define XCONNECTATTEMPT_H

#include <QByteArray>

#include <xcb/xcb.h>

#include <memory>

// One connection to an X server, made on a thread of its own. An X server that accepts the
// connection and never answers (a stopped XWayland) holds that thread, never whoever asked: the
// asker waits only as long as it chooses, or not at all, and an attempt given up on closes what
// it gets later by itself.
class XConnectAttempt
{
public:
    // Starts connecting to the display of that name (DISPLAY's value, read by the caller).
    explicit XConnectAttempt(const QByteArray &displayName);
    ~XConnectAttempt();
    XConnectAttempt(const XConnectAttempt &) = delete;
    XConnectAttempt &operator=(const XConnectAttempt &) = delete;

    // Waits up to timeoutMs for the attempt to end. The connection then passes to the caller, who
    // checks it for an error and disconnects it; nullptr while the server has not answered.
    xcb_connection_t *take(int timeoutMs, int *screen = nullptr);

    // Readable once the attempt has ended: for an event loop's notifier, followed by take(0).
    int endedDescriptor() const;

private:
    struct State;
    std::shared_ptr<State> state;
};

#endif // XCONNECTATTEMPT_H
