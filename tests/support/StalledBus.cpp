#include "StalledBus.h"

#include <csignal>

StalledBus::StalledBus()
{
    daemon.start(QStringLiteral("dbus-daemon"),
        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address"),
            QStringLiteral("--address=unix:tmpdir=/tmp")});
    if (!daemon.waitForReadyRead(30000))
        return;
    busAddress = QString::fromLocal8Bit(daemon.readLine().trimmed());
    ::kill(pid_t(daemon.processId()), SIGSTOP);
}

StalledBus::~StalledBus()
{
    if (daemon.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(daemon.processId()), SIGCONT);
    daemon.terminate();
    daemon.waitForFinished(30000);
}
