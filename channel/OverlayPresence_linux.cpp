#include "OverlayPresence.h"

#include "ChannelNames.h"
#include "ModeChannel.h"
#include "OverlayBusOwner.h"
#include "overlay1proxy.h"
#include "sessionbus/SessionBus.h"

#include <QDBusConnection>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// An overlay answers for its mode at once; a program that merely holds the name may never.
constexpr int OverlayAnswerMs = 250;

bool sessionBusAnswers()
{
    return SessionBus::provided() && QDBusConnection::sessionBus().isConnected();
}

bool overlayOwnsBusName()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Asked of the owner itself: an owner that has just ended never gets an overlay started in
    // its place by the question.
    const QString owner = OverlayBusOwner::find(bus);
    if (owner.isEmpty())
        return false;
    Overlay1Proxy overlay(owner, QLatin1String(ChannelNames::BusPath), bus);
    overlay.setTimeout(OverlayAnswerMs);
    overlay.currentMode();
    return !overlay.lastError().isValid();
}

} // namespace

struct OverlayPresence::Native
{
    ~Native()
    {
        // Closing the file lets the lock go.
        if (lock >= 0)
            ::close(lock);
    }
    int lock = -1;
};

OverlayPresence::OverlayPresence()
    : native(new Native)
{
}

OverlayPresence::~OverlayPresence() = default;

bool OverlayPresence::anotherRuns()
{
    const ModeChannel::Holder holder = ModeChannel::holder();
    if (holder != ModeChannel::Holder::NoServer) {
        answered = Way::X11;
        return holder == ModeChannel::Holder::Overlay;
    }
    if (sessionBusAnswers()) {
        answered = Way::SessionBus;
        return overlayOwnsBusName();
    }
    answered = Way::Claim;
    return claim() == Claim::HeldByAnother;
}

OverlayPresence::Claim OverlayPresence::claim()
{
    if (native->lock >= 0)
        return Claim::Taken;
    // The user's own folder: a lock in a folder that others can write to could be held by them.
    const QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtimeFolder.isEmpty()) {
        error = QStringLiteral("XDG_RUNTIME_DIR is not set");
        return Claim::Unavailable;
    }
    const QByteArray path = QFile::encodeName(runtimeFolder + QStringLiteral("/lumivane.lock"));
    const int descriptor = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0) {
        error = QStringLiteral("%1: %2").arg(
            QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(errno)));
        return Claim::Unavailable;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int reason = errno;
        ::close(descriptor);
        if (reason == EWOULDBLOCK)
            return Claim::HeldByAnother;
        error = QStringLiteral("%1: %2").arg(
            QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(reason)));
        return Claim::Unavailable;
    }
    native->lock = descriptor;
    return Claim::Taken;
}
