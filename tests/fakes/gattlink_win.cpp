// Stands in for the companion program in the Windows tests. It appends "start <pid> <path of its
// own executable>" to the file named by GATTLINK_RECORD and then waits to be killed, or ends with
// the status in GATTLINK_EXIT where that is set.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main()
{
    char executable[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, executable, MAX_PATH) == 0)
        return 1;
    if (const char *record = std::getenv("GATTLINK_RECORD")) {
        FILE *file = std::fopen(record, "a");
        if (!file)
            return 1;
        std::fprintf(file, "start %lu %s\n", GetCurrentProcessId(), executable);
        std::fclose(file);
    }
    if (const char *status = std::getenv("GATTLINK_EXIT"))
        return std::atoi(status);
    for (;;)
        Sleep(INFINITE);
}
