#include "OverlayBusService.h"

#include "BusLogging.h"
#include "BusProbe.h"
#include "SessionBus.h"
#include "applicationadaptor.h"
#include "channel/ChannelNames.h"
#include "channel/ModeReport.h"
#include "overlay1adaptor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDebug>
#include <QThread>
#include <QTimer>
#include <QVariantMap>

#include <algorithm>
#include <iterator>

namespace {

// The first wait for a bus that went away, doubled after each miss up to the longest.
constexpr int FirstRejoinMs = 500;
constexpr int LongestRejoinMs = 8000;

QDBusConnection connectionNamed(const QString &name)
{
    return name.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(name);
}

} // namespace

OverlayBusService::OverlayBusService(QObject *parent)
    : QObject(parent)
{
    new Overlay1Adaptor(this);
    new ApplicationAdaptor(this);
    connect(this, &OverlayBusService::currentModeChanged, this, &OverlayBusService::relayModeChange);
}

OverlayBusService::~OverlayBusService() = default;

uchar OverlayBusService::currentMode() const
{
    return mode;
}

bool OverlayBusService::Report(uint code)
{
    // Answered here, whatever the display is waiting for; the display logs every report and plays
    // those it knows when it can.
    Q_EMIT reportArrived(code);
    return ModeReport::decode(code).known();
}

void OverlayBusService::Show()
{
    Q_EMIT showRequested();
}

void OverlayBusService::Activate(const QVariantMap &)
{
    Q_EMIT showRequested();
}

void OverlayBusService::ActivateAction(
    const QString &action_name, const QVariantList &parameter, const QVariantMap &)
{
    // In the order of ChannelNames::DesktopActions.
    void (OverlayBusService::*const actions[])() = {&OverlayBusService::showRequested,
        &OverlayBusService::updateRequested, &OverlayBusService::quitRequested};
    static_assert(std::size(actions) == std::size(ChannelNames::DesktopActions));
    const auto *const names = std::begin(ChannelNames::DesktopActions);
    const auto *const name = std::find_if(names, std::end(ChannelNames::DesktopActions),
        [&action_name](const char *known) { return action_name == QLatin1String(known); });
    if (name == std::end(ChannelNames::DesktopActions)) {
        QStringList known;
        for (const char *each : ChannelNames::DesktopActions)
            known << QLatin1String(each);
        sendErrorReply(QDBusError::InvalidArgs,
            QStringLiteral("no action \"%1\": the overlay's are %2")
                .arg(action_name, known.join(QStringLiteral(", "))));
        return;
    }
    if (!parameter.isEmpty()) {
        sendErrorReply(
            QDBusError::InvalidArgs, QStringLiteral("the action \"%1\" takes no parameter").arg(action_name));
        return;
    }
    // QtDBus replies once this returns, before the GUI thread gets to quit's end of the program.
    Q_EMIT(this->*actions[name - names])();
}

void OverlayBusService::Open(const QStringList &, const QVariantMap &)
{
    sendErrorReply(QDBusError::NotSupported, QStringLiteral("the overlay opens no files"));
}

OverlayBus::Name OverlayBusService::publish()
{
    return join();
}

OverlayBus::Name OverlayBusService::join()
{
    QDBusConnection bus = connectionNamed(connectionName);
    if (!bus.isConnected())
        return OverlayBus::Name::Unavailable;
    const QString path = QLatin1String(ChannelNames::BusPath);
    const QString service = QLatin1String(ChannelNames::BusService);
    // The object comes first: a call that started this process is delivered once the name is ours.
    if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors))
        return OverlayBus::Name::Unavailable;
    // The bus hands the name on to the next in its queue when its owner lets go, or ends.
    QDBusConnectionInterface *interface = bus.interface();
    connect(
        interface, &QDBusConnectionInterface::serviceRegistered, this, [this, service](const QString &name) {
            if (name != service || published)
                return;
            qCWarning(lcBus).noquote()
                << QStringLiteral("%1 is ours now; reports arrive over the session bus too").arg(service);
            takeName();
        });
    connect(interface, &QDBusConnectionInterface::serviceUnregistered, this,
        [this, service](const QString &name) {
            if (name == service)
                published = false;
        });
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = interface->registerService(
        service, QDBusConnectionInterface::QueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        bus.unregisterObject(path);
        qCWarning(lcBus).noquote() << QStringLiteral(
            "%1 cannot be had on the session bus (%2); reports arrive over X11 only")
                                          .arg(service, reply.error().message());
        return OverlayBus::Name::Unavailable;
    }
    // A daemon that ends (or a bus restarted) ends the connection; the library says so locally.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
        QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
        SLOT(onDisconnected()));
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        takeName();
        return OverlayBus::Name::Owned;
    }
    return OverlayBus::Name::HeldByAnother;
}

void OverlayBusService::onDisconnected()
{
    published = false;
    Q_EMIT busLost();
}

void OverlayBusService::rejoinWhenBack()
{
    qCWarning(lcBus).noquote() << QStringLiteral(
        "The session bus went away; reports arrive over X11 until a bus answers at %1 again")
                                      .arg(SessionBus::address());
    rejoinMs = FirstRejoinMs;
    QTimer::singleShot(rejoinMs, this, &OverlayBusService::askForBus);
}

// Asked without waiting on a daemon that stalls; the connection is made once one answers.
void OverlayBusService::askForBus()
{
    const QString address = SessionBus::address();
    auto *probe = new BusProbe(address, this);
    connect(probe, &BusProbe::finished, this, [this, probe, address](BusProbe::Answer answer) {
        probe->deleteLater();
        if (answer == BusProbe::Answer::Answered) {
            const QString name = QStringLiteral("lumivane-rejoined-%1").arg(++rejoins);
            if (QDBusConnection::connectToBus(address, name).isConnected()) {
                if (!connectionName.isEmpty())
                    QDBusConnection::disconnectFromBus(connectionName);
                connectionName = name;
                if (join() != OverlayBus::Name::Unavailable) {
                    qCWarning(lcBus).noquote()
                        << QStringLiteral("Back on the session bus at %1").arg(address);
                    return;
                }
            } else {
                QDBusConnection::disconnectFromBus(name);
            }
        }
        rejoinMs = qMin(rejoinMs * 2, LongestRejoinMs);
        QTimer::singleShot(rejoinMs, this, &OverlayBusService::askForBus);
    });
    probe->start();
}

void OverlayBusService::takeName()
{
    published = true;
    announced = currentMode();
}

void OverlayBusService::setCurrentMode(uchar shown)
{
    // A change alone, and only once the service runs: without a bus nothing is told.
    if (mode.exchange(shown) != shown && thread()->isRunning())
        QMetaObject::invokeMethod(this, &OverlayBusService::announceMode, Qt::QueuedConnection);
}

void OverlayBusService::announceMode()
{
    const uchar shown = currentMode();
    if (!published || shown == announced)
        return;
    announced = shown;
    Q_EMIT currentModeChanged(shown);
}

void OverlayBusService::relayModeChange(uchar mode)
{
    // Neither QtDBus nor the generated adaptor announce property changes.
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(ChannelNames::BusPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(ChannelNames::BusInterface)
           << QVariantMap {{QStringLiteral("CurrentMode"), QVariant::fromValue(mode)}} << QStringList();
    connectionNamed(connectionName).send(signal);
}
