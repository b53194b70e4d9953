#include "OverlayBusService.h"

#include "ChannelLogging.h"
#include "ChannelNames.h"
#include "OverlayBusObject.h"
#include "SessionBus.h"
#include "overlay1adaptor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDebug>
#include <QGuiApplication>
#include <QVariantMap>

#include <utility>

OverlayBusObject::OverlayBusObject(OverlayBusService::Handlers handlers)
    : handlers(std::move(handlers))
{
    new Overlay1Adaptor(this);
    connect(this, &OverlayBusObject::currentModeChanged, this, &OverlayBusObject::relayModeChange);
}

uchar OverlayBusObject::currentMode() const
{
    return uchar(handlers.currentMode());
}

bool OverlayBusObject::Report(uint code)
{
    return handlers.report(code);
}

void OverlayBusObject::Show()
{
    handlers.show();
}

void OverlayBusObject::publish()
{
    // No session bus: the other channels carry the reports, as they always have.
    if (!SessionBus::provided())
        return;
    join();
}

void OverlayBusObject::join()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString path = QLatin1String(ChannelNames::BusPath);
    const QString service = QLatin1String(ChannelNames::BusService);
    // The object comes first: a call that started this process is delivered once the name is ours.
    if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors))
        return;
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
        return;
    }
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        takeName();
        return;
    }
    qCWarning(lcBus).noquote() << QStringLiteral(
        "%1 is taken on the session bus; reports arrive over X11 until it is free")
                                      .arg(service);
    // Without X there is no report channel to tell overlays apart: an overlay that owns the name
    // answers for its mode, and this one leaves it the place.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        yieldToOverlay(bus, service);
}

void OverlayBusObject::takeName()
{
    published = true;
    announced = currentMode();
}

void OverlayBusObject::yieldToOverlay(QDBusConnection bus, const QString &service)
{
    QDBusMessage get = QDBusMessage::createMethodCall(service, QLatin1String(ChannelNames::BusPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1String(ChannelNames::BusInterface) << QStringLiteral("CurrentMode");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        if (!call->isError() && !published)
            QCoreApplication::exit(0);
    });
}

void OverlayBusObject::announceMode()
{
    const uchar mode = currentMode();
    if (!published || mode == announced)
        return;
    announced = mode;
    Q_EMIT currentModeChanged(mode);
}

void OverlayBusObject::relayModeChange(uchar mode)
{
    // Neither QtDBus nor the generated adaptor announce property changes.
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(ChannelNames::BusPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(ChannelNames::BusInterface)
           << QVariantMap {{QStringLiteral("CurrentMode"), QVariant::fromValue(mode)}} << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

OverlayBusService::OverlayBusService(Handlers handlers)
    : object(new OverlayBusObject(std::move(handlers)))
{
}

OverlayBusService::~OverlayBusService() = default;

void OverlayBusService::publish()
{
    object->publish();
}

void OverlayBusService::modeMayHaveChanged()
{
    object->announceMode();
}
