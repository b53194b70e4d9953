#include "OverlayBusService.h"

#include "ChannelLogging.h"
#include "ChannelNames.h"
#include "SessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDebug>
#include <QObject>
#include <QVariantMap>

#include <utility>

// The exported object. Its public slots and readable properties are the interface; QtDBus
// introspects them from this meta-object.
class OverlayBusObject : public QObject
{
    Q_OBJECT
    // The twin of ChannelNames::BusInterface: class info takes a literal only.
    Q_CLASSINFO("D-Bus Interface", "org.lumivane.Overlay1")
    Q_PROPERTY(uchar CurrentMode READ currentMode)

public:
    explicit OverlayBusObject(OverlayBusService::Handlers handlers)
        : handlers(std::move(handlers))
    {
    }

    uchar currentMode() const { return uchar(handlers.currentMode()); }

    void publish();
    void announceMode();

public Q_SLOTS:
    bool Report(uint parameter) { return handlers.report(parameter); }
    void Show() { handlers.show(); }

private:
    OverlayBusService::Handlers handlers;
    bool published = false;
    uchar announced = 0;
};

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
    if (!bus.registerObject(
            path, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties))
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
    // QtDBus does not announce property changes itself.
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

#include "OverlayBusService_linux.moc"
