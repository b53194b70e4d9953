#include "CompanionProcess.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

void CompanionProcess::setupChildProcess()
{
    // Only async-signal-safe calls here. The request binds the companion's life to ours; if we
    // died before it took effect the companion has been adopted already, and no signal would
    // ever come.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != static_cast<pid_t>(parentPid))
        ::_exit(127);
}
