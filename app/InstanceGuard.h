#ifndef INSTANCEGUARD_H
#define INSTANCEGUARD_H

#include <QSharedMemory>

// The single-instance marker: a shared-memory segment of 1 byte under the key "flag", held for
// the life of this object once acquired. Its content is never read or written; only its
// existence counts. The key is a common word, so a marker that no running overlay stands behind
// does not stop the start; what decides between overlays started at the same moment is a thing
// of the overlay's own: its report channel on X11 (see ModeChannel::listen), its name on the
// session bus on Wayland without X, a named kernel object on Windows, held here.
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

    // Takes the marker unless another overlay holds it. A marker held with no overlay behind it
    // after a short wait (one that is still starting takes its channel within that) is a
    // stranger's: the start goes on, with one warning.
    Result acquire();

private:
    Q_DISABLE_COPY(InstanceGuard)

    Result takeMarker();
    // Takes the overlay's own object where the platform has one (Windows), or looks at the
    // report channel (X11); false when another overlay holds it.
    bool claimOwnObject();
    // Waits a bounded time for a running overlay to show itself; true when one does.
    static bool overlayShowsUp();

    QSharedMemory marker;
    // The kernel object on Windows.
    void *ownObject = nullptr;
};

#endif // INSTANCEGUARD_H
