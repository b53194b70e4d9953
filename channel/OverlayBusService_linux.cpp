#include "OverlayBusService.h"

#include "ChannelLogging.h"
#include "ChannelNames.h"
#include "OverlayBusObject.h"
#include "SessionBus.h"
#include "overlay1adaptor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDebug>
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
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    const QString path = QLatin1String(ChannelNames::BusPath);
    const QString service = QLatin1String(ChannelNames::BusService);
    // The object comes first: a call that started this process is delivered once the name is ours.
    if (!bus.registerObject(path, this, QDBusConnection::ExportAdaptors))
        return;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
        service, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(path);
        qCWarning(lcBus).noquote()
            << QStringLiteral("%1 is taken on the session bus; reports arrive over X11 only").arg(service);
        return;
    }
    published = true;
    announced = currentMode();
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
