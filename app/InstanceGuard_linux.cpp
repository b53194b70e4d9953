#include "InstanceGuard.h"

#include "channel/ModeChannel.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {

// Long enough for an overlay that made its marker a moment ago to take its channel.
constexpr int OverlayWaitMs = 2000;
constexpr int OverlayPollMs = 50;

} // namespace

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::claimOwnObject()
{
    // The report channel decides: taken under a grab once the window exists (see
    // ModeChannel::listen), and looked at now, so that a start after an overlay's ends before it
    // makes anything of its own.
    return !ModeChannel::overlayRunning();
}

bool InstanceGuard::overlayShowsUp()
{
    // Nothing else runs yet: the event loop has not begun.
    const QDeadlineTimer deadline(OverlayWaitMs);
    while (!ModeChannel::overlayRunning()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(OverlayPollMs);
    }
    return true;
}
