#include "InstanceGuard.h"

#include "InstanceLogging.h"
#include "channel/ChannelNames.h"
#include "channel/ModeChannel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>

namespace {

// On Unix a marker segment outlives an instance that was killed before it could detach. Attaching
// and detaching once removes such a segment when nobody else holds it, and leaves the marker of a
// running instance alone.
void clearAbandonedMarker(const QString &key)
{
    QSharedMemory probe(key);
    if (probe.attach())
        probe.detach();
}

} // namespace

InstanceGuard::InstanceGuard()
    : marker(QLatin1String(ChannelNames::InstanceMarker))
{
}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::overlayRunsAlready(int argc, char *argv[], const QList<QCommandLineOption> &options)
{
    // A command line that the program's parser would refuse, or one with the toolkit's own
    // options, goes the whole way, so that its errors are reported as usual.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    parser.addOptions(options);
    return parser.parse(arguments) && ModeChannel::holder() == ModeChannel::Holder::Overlay;
}

InstanceGuard::Result InstanceGuard::acquire()
{
    if (presence.anotherRuns())
        return Result::AlreadyRunning;
    way = presence.answeredBy();
    // Held also where another way answers, so that a later start that only this way can answer
    // for finds it.
    claimed = presence.claim();
    Result result = takeMarker();
    if (result == Result::Unavailable) {
        qCWarning(lcInstance).noquote()
            << QStringLiteral("Instance marker unavailable (%1); running without it")
                   .arg(marker.errorString());
    } else if (result == Result::AlreadyRunning && !overlayShowsUp()) {
        // Not held on behalf of someone else's program.
        marker.detach();
        qCWarning(lcInstance).noquote() << QStringLiteral(
            "Instance marker \"%1\" is held, but no running overlay stands behind it; running without it")
                                               .arg(marker.key());
        result = Result::Unavailable;
    }
    if (result != Result::AlreadyRunning && claimed == OverlayPresence::Claim::Unavailable &&
        way == OverlayPresence::Way::Claim) {
        qCWarning(lcInstance).noquote()
            << QStringLiteral("Cannot tell whether another overlay runs (%1)").arg(presence.errorString());
    }
    return result;
}

bool InstanceGuard::yieldsToChannel() const
{
    return ModeChannel::heldByAnotherOverlay();
}

void InstanceGuard::yieldWhenChannelTaken()
{
    // There is room for one overlay.
    ModeChannel::whenAnotherOverlayHolds([] { QCoreApplication::exit(0); });
}

bool InstanceGuard::yieldsToBusName(OverlayBus::Name name)
{
    // Where an X server answers, its report channel has decided already; a program holding the
    // name there is a stranger that the bus service waits behind.
    return name == OverlayBus::Name::HeldByAnother && way != OverlayPresence::Way::X11 &&
        presence.anotherRuns();
}

InstanceGuard::Result InstanceGuard::takeMarker()
{
    clearAbandonedMarker(marker.key());
    if (marker.attach(QSharedMemory::ReadWrite))
        return Result::AlreadyRunning;
    if (marker.create(1, QSharedMemory::ReadWrite))
        return Result::Acquired;
    if (marker.error() != QSharedMemory::AlreadyExists)
        return Result::Unavailable;
    // On Unix the segment's key comes from a file that the creation makes when it is missing. When
    // an abandoned segment's own file has been removed, the new file can get the same number from
    // the file system and with it the abandoned segment's key, and the creation fails. With the
    // file now in place the abandoned segment can be cleared, and the creation tried once more.
    clearAbandonedMarker(marker.key());
    if (marker.attach(QSharedMemory::ReadWrite))
        return Result::AlreadyRunning;
    return marker.create(1, QSharedMemory::ReadWrite) ? Result::Acquired : Result::Unavailable;
}
