#include "InstanceGuard.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {

// Long enough for an overlay that made its marker a moment ago to take its channel or its name.
constexpr int OverlayWaitMs = 2000;
constexpr int OverlayPollMs = 50;

} // namespace

bool InstanceGuard::overlayShowsUp()
{
    // Neither an X server nor a session bus answers, and no lock can be made: the marker is all
    // there is to go by.
    if (way == OverlayPresence::Way::Claim && claimed == OverlayPresence::Claim::Unavailable)
        return true;
    // Nothing else runs yet: the event loop has not begun.
    const QDeadlineTimer deadline(OverlayWaitMs);
    while (!presence.anotherRuns()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(OverlayPollMs);
    }
    return true;
}
