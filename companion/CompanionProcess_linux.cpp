#include "CompanionProcess.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

void CompanionProcess::killGroup()
{
    // The whole group in one call; the plain kill covers a child that has not yet made its
    // group, and so has not yet run anything of its own that could have forked. The group's
    // other members are reparented and reaped elsewhere: only QProcess waits, for the companion.
    const auto pid = static_cast<pid_t>(processId());
    if (pid > 0)
        ::kill(-pid, SIGKILL);
    kill();
}

void CompanionProcess::setupChildProcess()
{
    // Only async-signal-safe calls here. A group of its own lets everything the companion starts
    // be ended with it. The request binds the companion's life to ours; if we died before it took
    // effect the companion has been adopted already, and no signal would ever come.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != static_cast<pid_t>(parentPid))
        ::_exit(127);
}

void CompanionProcess::tieToOurLife()
{
    // The parent-death signal, set in the child, does it here.
}
