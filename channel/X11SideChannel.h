#ifndef X11SIDECHANNEL_H
#define X11SIDECHANNEL_H

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QSocketNotifier;
class X11Channel;
class XConnectAttempt;

// The X11 report channel beside a display that is not X11 (a Wayland layer surface), for the
// companions that send over X11. It is optional: the connection to the X server that DISPLAY
// names is made off the event loop, so that a server that does not answer (a stopped XWayland)
// holds neither the start nor the reports on other channels, and the channel is taken once the
// event loop runs. When the server goes away the channel is sought again, at growing intervals,
// and comes back with the server (a compositor restarts XWayland at its next X client).
class X11SideChannel : public QObject
{
public:
    // Nothing at all while DISPLAY is unset: no server is guessed at.
    X11SideChannel(const std::function<bool(quint32)> &receive, QObject *parent);
    ~X11SideChannel() override;

    // Whether the channel is held on the server now.
    bool holding() const { return channel != nullptr; }

    // The first wait after a loss, doubled after each attempt that fails, up to the longest.
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LongestRetryMs = 32000;

private:
    void attempt();
    void attemptEnded();
    void serverGone();

    const std::function<bool(quint32)> receive;
    const QByteArray display;
    std::unique_ptr<XConnectAttempt> pending;
    std::unique_ptr<QSocketNotifier> pendingEnd;
    X11Channel *channel = nullptr;
    QTimer retry;
    int retryMs = FirstRetryMs;
    // The channel was held and lost: its return is said.
    bool lost = false;
};

#endif // X11SIDECHANNEL_H
