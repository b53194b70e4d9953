#include "CompanionProcess.h"

#include <QCoreApplication>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

CompanionProcess::CompanionProcess(QObject *parent)
    : QProcess(parent)
    , parentPid(QCoreApplication::applicationPid())
{
    setProcessChannelMode(QProcess::ForwardedChannels);
}

CompanionProcess::~CompanionProcess()
{
    // Ends the companion with us, as QProcess's own destructor would, but without its warning
    // about a process still running: here that is the intended way out.
    if (state() != QProcess::NotRunning) {
        kill();
        waitForFinished();
    }
}

void CompanionProcess::setupChildProcess()
{
    // Only async-signal-safe calls here. The request binds the companion's life to ours; if we
    // died before it took effect the companion has been adopted already, and no signal would
    // ever come.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != static_cast<pid_t>(parentPid))
        ::_exit(127);
}
