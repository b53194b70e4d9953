// Stands in for the companion program in process-level tests. It appends "start <pid> <path of
// its own executable>" to the file named by GATTLINK_RECORD, says it is up on its standard
// output and error, and then waits to be killed.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

int main()
{
    char executable[PATH_MAX] = {};
    if (::readlink("/proc/self/exe", executable, sizeof executable - 1) < 0)
        return 1;
    if (const char *record = std::getenv("GATTLINK_RECORD")) {
        const int fd = ::open(record, O_WRONLY | O_APPEND | O_CREAT, 0644);
        if (fd < 0)
            return 1;
        dprintf(fd, "start %d %s\n", int(::getpid()), executable);
        ::close(fd);
    }
    // Plain writes: nothing waits in a buffer of ours.
    dprintf(STDOUT_FILENO, "gattlink %d up\n", int(::getpid()));
    dprintf(STDERR_FILENO, "gattlink %d listening\n", int(::getpid()));
    for (;;)
        ::pause();
}
