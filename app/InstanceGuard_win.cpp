#include "InstanceGuard.h"

#include "channel/ChannelNames.h"

#include <windows.h>

InstanceGuard::~InstanceGuard()
{
    if (ownObject)
        CloseHandle(ownObject);
}

bool InstanceGuard::claimOwnObject()
{
    // Made and looked for in one step, so that of overlays started at the same moment exactly one
    // makes it. One that cannot be made at all leaves the marker to decide.
    HANDLE object = CreateMutexW(nullptr, FALSE, ChannelNames::InstanceObject);
    if (object && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(object);
        return false;
    }
    ownObject = object;
    return true;
}

bool InstanceGuard::overlayShowsUp()
{
    // Every overlay holds its kernel object before it makes the marker, and this one holds the
    // object now: no overlay stands behind a marker held by someone else.
    return false;
}
