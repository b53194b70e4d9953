#ifndef INSTANCEGUARD_H
#define INSTANCEGUARD_H

#include "channel/OverlayPresence.h"
#include "sessionbus/OverlayBus.h"

#include <QCommandLineOption>
#include <QList>
#include <QSharedMemory>

// Where this start decides whether it runs: every "an overlay runs already" ends here, and the
// answer comes from OverlayPresence, the one query that the senders ask too. The report channel
// and the bus only say what they found.
//
// Also the single-instance marker: a shared-memory segment of 1 byte under the key "flag", held
// for the life of this object once acquired. Its content is never read or written; only its
// existence counts. The key is a common word, so a marker that no running overlay stands behind
// does not stop the start.
class InstanceGuard
{
public:
    enum class Result {
        Acquired, // this process holds the marker now
        AlreadyRunning, // another overlay runs
        Unavailable, // no marker could be made, or a stranger holds it: the instance runs without
    };

    InstanceGuard();
    ~InstanceGuard();

    // Before the application object is made: true when the command line is sound and the report
    // channel shows a running overlay at once, so that this start ends before it builds anything.
    // Any other case is left to acquire().
    static bool overlayRunsAlready(int argc, char *argv[], const QList<QCommandLineOption> &options);

    // Asked before anything is built. Ends in AlreadyRunning when another overlay runs. A marker
    // held with no overlay behind it after a short wait (one that is still starting shows itself
    // within that) is a stranger's: the start goes on, with one warning.
    Result acquire();

    // After the window has listened on the report channel: whether another overlay held it, so
    // that this one ends before it shows anything.
    bool yieldsToChannel() const;
    // From then on, the event loop ends with 0 when another overlay takes the channel.
    void yieldWhenChannelTaken();
    // After the bus service asked for its name: whether this one ends because an overlay holds
    // the name, where no X server decides.
    bool yieldsToBusName(OverlayBus::Name name);

private:
    Q_DISABLE_COPY(InstanceGuard)

    Result takeMarker();
    // Waits a bounded time for a running overlay to show itself; true when one does.
    bool overlayShowsUp();

    OverlayPresence presence;
    OverlayPresence::Way way = OverlayPresence::Way::Claim;
    OverlayPresence::Claim claimed = OverlayPresence::Claim::Unavailable;
    QSharedMemory marker;
};

#endif // INSTANCEGUARD_H
