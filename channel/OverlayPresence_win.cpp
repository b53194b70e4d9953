#include "OverlayPresence.h"

#include "ChannelNames.h"

#include <windows.h>

struct OverlayPresence::Native
{
    ~Native()
    {
        if (mutex)
            CloseHandle(mutex);
    }
    HANDLE mutex = nullptr;
};

OverlayPresence::OverlayPresence()
    : native(new Native)
{
}

OverlayPresence::~OverlayPresence() = default;

bool OverlayPresence::anotherRuns()
{
    return claim() == Claim::HeldByAnother;
}

OverlayPresence::Claim OverlayPresence::claim()
{
    if (native->mutex)
        return Claim::Taken;
    // Made and looked for in one step, so that of overlays started at the same moment exactly one
    // makes it.
    HANDLE object = CreateMutexW(nullptr, FALSE, ChannelNames::InstanceObject);
    const DWORD result = GetLastError();
    if (object && result == ERROR_ALREADY_EXISTS) {
        CloseHandle(object);
        return Claim::HeldByAnother;
    }
    // An overlay of another elevation (started as administrator) holds it, and this process may
    // not open it.
    if (!object && result == ERROR_ACCESS_DENIED)
        return Claim::HeldByAnother;
    if (!object) {
        error = QStringLiteral("the overlay's mutex cannot be made (error %1)").arg(result);
        return Claim::Unavailable;
    }
    native->mutex = object;
    return Claim::Taken;
}
