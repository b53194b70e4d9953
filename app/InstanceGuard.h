#ifndef INSTANCEGUARD_H
#define INSTANCEGUARD_H

#include <QSharedMemory>

// The single-instance marker: a shared-memory segment of 1 byte under the key "flag", held for
// the life of this object once acquired. Its content is never read or written; only its
// existence counts.
class InstanceGuard
{
public:
    enum class Result {
        Acquired, // this process holds the marker now
        AlreadyRunning, // another instance holds it
        Unavailable, // no marker could be made, and no other instance answers reports
    };

    InstanceGuard();

    // Takes the marker unless another instance holds it. Where no marker can be made (an
    // unusable TMPDIR), the report channel decides: its owner is the running instance.
    Result acquire();

private:
    Q_DISABLE_COPY(InstanceGuard)

    Result takeMarker();

    QSharedMemory marker;
};

#endif // INSTANCEGUARD_H
