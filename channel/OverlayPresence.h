#ifndef OVERLAYPRESENCE_H
#define OVERLAYPRESENCE_H

#include <QString>

#include <memory>

// The one answer to "does an overlay run?", for the instance guard, the overlay's own race rules
// and the senders alike. Asked in this order on Linux: where an X server answers at DISPLAY, the
// marked owner of the X11 report channel; otherwise, where a session bus answers, an overlay
// owning the bus name; with neither, the lock file in XDG_RUNTIME_DIR, which the kernel lets go
// when its holder ends. On Windows the overlay's named mutex answers.
class OverlayPresence
{
public:
    enum class Way {
        X11, // the X11 report channel
        SessionBus, // the bus name
        Claim, // the object claim() takes: the lock file (Linux), the named mutex (Windows)
    };

    enum class Claim {
        Taken, // this process holds it now, until this object goes
        HeldByAnother,
        Unavailable, // it cannot be made; errorString() says why
    };

    OverlayPresence();
    ~OverlayPresence();
    OverlayPresence(const OverlayPresence &) = delete;
    OverlayPresence &operator=(const OverlayPresence &) = delete;

    // Whether an overlay other than this process runs, in the order above.
    bool anotherRuns();
    // Which way gave the last answer of anotherRuns().
    Way answeredBy() const { return answered; }

    // Takes the platform's own object for this process, so that a later start finds it held. It
    // answers on Windows always, on Linux only where neither an X server nor a session bus does.
    Claim claim();

    QString errorString() const { return error; }

private:
    // The lock file (Linux) or the mutex (Windows), while held.
    struct Native;
    std::unique_ptr<Native> native;
    Way answered = Way::Claim;
    QString error;
};

#endif // OVERLAYPRESENCE_H
