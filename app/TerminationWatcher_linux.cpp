#include "TerminationWatcher.h"

#include "QtApi.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int WatchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler only writes to a socket; the event loop reads it and quits, outside the handler.
int signalSockets[2] = {-1, -1};

// Set by the handler, on whichever thread it runs.
std::atomic<bool> ending {false};

// The orderly end needs the event loop, which may be stuck in a frozen compositor's call or a hung
// display's. Past this time the process ends anyway, with the status of an orderly end; the kernel
// and the companion's guard then end the companion's group.
constexpr unsigned int GraceSeconds = 2;

void onGraceOver(int)
{
    ::_exit(0);
}

void armWatchdog()
{
    struct sigaction action = {};
    action.sa_handler = onGraceOver;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, nullptr);
    ::alarm(GraceSeconds);
}

void onSignal(int signalNumber)
{
    if (!ending.exchange(true))
        armWatchdog();
    const char byte = static_cast<char>(signalNumber);
    const ssize_t written = ::write(signalSockets[0], &byte, 1);
    static_cast<void>(written);
}

// Once the watcher is gone the process is ending anyway, and a further request changes nothing.
// A handler rather than SIG_IGN, which programs started later would inherit.
void onSignalWhileEnding(int) { }

void handleSignals(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : WatchedSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

// Qt hands over all the display's events it has read in one go before the event loop gets to
// the signal's socket; under a flood of reports that is every one of them, each played with its
// debug line. Once the end is asked for, the events still queued are dropped unread instead.
class EndingFilter : public QObject, public QAbstractNativeEventFilter
{
public:
    using QObject::QObject;

    bool nativeEventFilter(const QByteArray &, void *, NativeEventResult *) override { return ending; }
};

} // namespace

TerminationWatcher::TerminationWatcher(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return;
    ending = false;
    auto *notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [] {
        char byte = 0;
        if (::read(signalSockets[1], &byte, 1) == 1)
            QCoreApplication::quit();
    });
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->installNativeEventFilter(new EndingFilter(this));
    handleSignals(onSignal);
}

TerminationWatcher::~TerminationWatcher()
{
    if (signalSockets[0] < 0)
        return;
    handleSignals(onSignalWhileEnding);
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}
