#include "CompanionProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Our end of the lifeline: open for as long as this process lives, in no other process. The
// kernel closes it however we end (our own exit, Qt's exit on a lost display, a crash, a kill),
// and each companion's guard then sees the end of its pipe.
int lifeline[2] = {-1, -1};

// Every descriptor from `first` on closed, without allocating.
void closeFrom(int first)
{
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, first, ~0U, 0) == 0)
        return;
#endif
    rlimit limit {};
    const rlim_t end =
        ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536 ? limit.rlim_cur : 65536;
    for (rlim_t descriptor = rlim_t(first); descriptor < end; ++descriptor)
        ::close(int(descriptor));
}

// The guard, a member of the companion's group that outlives nobody: it waits until this program
// has ended, however it ended, and then ends the whole group, itself included. It holds nothing
// of ours but the lifeline's far end, so no pipe, socket or display connection of ours stays open
// in it. Only async-signal-safe calls: it runs in a fork of the child.
[[noreturn]] void guardGroup()
{
    struct sigaction byDefault = {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGALRM})
        ::sigaction(signalNumber, &byDefault, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::prctl(PR_SET_NAME, "companion-guard");
    ::dup2(lifeline[0], STDIN_FILENO);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    closeFrom(STDERR_FILENO + 1);
    char byte = 0;
    while (::read(STDIN_FILENO, &byte, 1) < 0 && errno == EINTR) { }
    ::kill(0, SIGKILL);
    ::_exit(0);
}

// The guard is the grandchild of a fork that ends at once, so that it is adopted by the system
// and is nobody's child in the group: a companion that waits for its own children never waits for
// it.
void startGuard()
{
    if (lifeline[0] < 0)
        return;
    const pid_t middle = ::fork();
    if (middle == 0) {
        if (::fork() == 0)
            guardGroup();
        ::_exit(0);
    }
    if (middle > 0)
        while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) { }
}

} // namespace

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

void CompanionProcess::setUpChild()
{
    // Only async-signal-safe calls here. A group of its own lets everything the companion starts
    // be ended with it. The request binds the companion's life to ours; if we died before it took
    // effect the companion has been adopted already, and no signal would ever come.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != static_cast<pid_t>(parentPid))
        ::_exit(127);
    startGuard();
}

void CompanionProcess::tieToOurLife()
{
    // The parent-death signal, set in the child, ends the companion itself; the guard started
    // beside it ends the rest of its group. Both ends close on exec: no program we start holds
    // the lifeline, so its end is ours.
    if (lifeline[1] < 0 && ::pipe2(lifeline, O_CLOEXEC) != 0)
        lifeline[0] = lifeline[1] = -1;
}
