#include "TerminationWatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int WatchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler only writes to a socket; the event loop reads it and quits, outside the handler.
int signalSockets[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const char byte = static_cast<char>(signalNumber);
    const ssize_t written = ::write(signalSockets[0], &byte, 1);
    static_cast<void>(written);
}

} // namespace

TerminationWatcher::TerminationWatcher(QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [] {
        char byte = 0;
        if (::read(signalSockets[1], &byte, 1) == 1)
            QCoreApplication::quit();
    });

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : WatchedSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationWatcher::~TerminationWatcher()
{
    if (signalSockets[0] < 0)
        return;
    for (int signalNumber : WatchedSignals)
        ::signal(signalNumber, SIG_DFL);
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}
