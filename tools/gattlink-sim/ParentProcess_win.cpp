#include "ParentProcess.h"

#include <windows.h>

#include <tlhelp32.h>

struct ParentProcess::Native
{
    HANDLE parent = nullptr;
};

ParentProcess::ParentProcess()
    : native(new Native)
{
    // Windows keeps only the parent's id; a handle opened now stays valid after it ends and
    // cannot be confused with a later process that reuses the id. If it cannot be opened, the
    // simulator still leaves once the overlay has gone.
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return;
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self) {
            native->parent = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ParentProcessID);
            break;
        }
    }
    CloseHandle(snapshot);
}

ParentProcess::~ParentProcess()
{
    if (native->parent)
        CloseHandle(native->parent);
}

bool ParentProcess::isGone() const
{
    return native->parent && WaitForSingleObject(native->parent, 0) == WAIT_OBJECT_0;
}
