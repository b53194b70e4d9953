#include "BluezWatcher.h"

#include "AccessoryMatch.h"
#include "CompanionLogging.h"
#include "app/QtApi.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDebug>

#include <algorithm>

namespace {

const QString BluezService = QStringLiteral("org.bluez");
const QString ObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString Device1 = QStringLiteral("org.bluez.Device1");
const QString ConnectedProperty = QStringLiteral("Connected");
const QString UuidsProperty = QStringLiteral("UUIDs");

using InterfaceMap = QMap<QString, QVariantMap>;

// The shapes in which BlueZ sends what the watcher reads.
const QString InterfacesAddedSignature = QStringLiteral("oa{sa{sv}}");
const QString InterfacesRemovedSignature = QStringLiteral("oas");
const QString PropertiesChangedSignature = QStringLiteral("sa{sv}as");
const QString ManagedObjectsSignature = QStringLiteral("a{oa{sa{sv}}}");
const QString ConnectedSignature = QStringLiteral("b");
const QString UuidsSignature = QStringLiteral("as");

// Arguments that QtDBus could not turn into plain Qt types on its own stay as QDBusArgument.
template<typename T>
T argumentAs(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

// The D-Bus signature of a value inside a variant: QtDBus hands basic values over as Qt types and
// keeps the rest as QDBusArgument.
QString signatureOf(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusArgument>())
        return value.value<QDBusArgument>().currentSignature();
    return QString::fromLatin1(QDBusMetaType::typeToSignature(MetaTypeArgument(value.userType())));
}

} // namespace

BluezWatcher::BluezWatcher(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , bus(bus)
{
}

BluezWatcher::~BluezWatcher() = default;

bool BluezWatcher::start()
{
    if (!bus.isConnected())
        return false;
    // An empty path takes the signal from every object of the service.
    const bool subscribed =
        bus.connect(BluezService, QString(), ObjectManager, QStringLiteral("InterfacesAdded"), this,
            SLOT(onInterfacesAdded(QDBusMessage))) &&
        bus.connect(BluezService, QString(), ObjectManager, QStringLiteral("InterfacesRemoved"), this,
            SLOT(onInterfacesRemoved(QDBusMessage))) &&
        bus.connect(BluezService, QString(), Properties, QStringLiteral("PropertiesChanged"), this,
            SLOT(onPropertiesChanged(QDBusMessage)));
    if (!subscribed)
        return false;
    auto *owner = new QDBusServiceWatcher(BluezService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owner, &QDBusServiceWatcher::serviceOwnerChanged, this, &BluezWatcher::onOwnerChanged);
    readDevices(false);
    return true;
}

void BluezWatcher::onInterfacesAdded(const QDBusMessage &message)
{
    if (!isShaped(message.member(), message.signature(), InterfacesAddedSignature))
        return;
    const QList<QVariant> arguments = message.arguments();
    const InterfaceMap interfaces = argumentAs<InterfaceMap>(arguments.at(1));
    const auto device = interfaces.constFind(Device1);
    if (device != interfaces.constEnd())
        updateDevice(argumentAs<QDBusObjectPath>(arguments.at(0)).path(), device.value(), true);
}

void BluezWatcher::onInterfacesRemoved(const QDBusMessage &message)
{
    if (!isShaped(message.member(), message.signature(), InterfacesRemovedSignature))
        return;
    const QList<QVariant> arguments = message.arguments();
    if (argumentAs<QStringList>(arguments.at(1)).contains(Device1))
        removeDevice(argumentAs<QDBusObjectPath>(arguments.at(0)).path());
}

void BluezWatcher::onPropertiesChanged(const QDBusMessage &message)
{
    if (!isShaped(message.member(), message.signature(), PropertiesChangedSignature))
        return;
    const QList<QVariant> arguments = message.arguments();
    if (arguments.at(0).toString() != Device1)
        return;
    updateDevice(message.path(), argumentAs<QVariantMap>(arguments.at(1)), true);
}

void BluezWatcher::onOwnerChanged(const QString &, const QString &oldOwner, const QString &newOwner)
{
    // BlueZ leaving takes its devices with it; BlueZ coming back is read anew, and what it
    // reports connected then has arrived.
    if (!oldOwner.isEmpty()) {
        const QStringList paths = devices.keys();
        for (const QString &path : paths)
            removeDevice(path);
    }
    if (!newOwner.isEmpty())
        readDevices(true);
}

void BluezWatcher::readDevices(bool announce)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        BluezService, QStringLiteral("/"), ObjectManager, QStringLiteral("GetManagedObjects"));
    // Never make the bus start BlueZ for us; if it comes later, its arrival on the bus reads again.
    call.setAutoStartService(false);
    auto *pending = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, pending, announce] {
        pending->deleteLater();
        const QDBusMessage reply = pending->reply();
        if (reply.type() != QDBusMessage::ReplyMessage ||
            !isShaped(QStringLiteral("GetManagedObjects reply"), reply.signature(), ManagedObjectsSignature))
            return;
        const QDBusArgument objects = reply.arguments().at(0).value<QDBusArgument>();
        objects.beginMap();
        while (!objects.atEnd()) {
            QDBusObjectPath path;
            InterfaceMap interfaces;
            objects.beginMapEntry();
            objects >> path >> interfaces;
            objects.endMapEntry();
            const auto device = interfaces.constFind(Device1);
            if (device != interfaces.constEnd())
                updateDevice(path.path(), device.value(), announce);
        }
        objects.endMap();
    });
}

void BluezWatcher::updateDevice(const QString &path, const QVariantMap &properties, bool announce)
{
    // A change in which either property has another type than BlueZ gives it is ignored whole.
    const auto connected = properties.constFind(ConnectedProperty);
    if (connected != properties.constEnd() &&
        !isShaped(ConnectedProperty, signatureOf(connected.value()), ConnectedSignature))
        return;
    const auto uuids = properties.constFind(UuidsProperty);
    if (uuids != properties.constEnd() &&
        !isShaped(UuidsProperty, signatureOf(uuids.value()), UuidsSignature))
        return;

    Device &device = devices[path];
    const bool before = AccessoryMatch::isAccessoryDevice(device.connected, device.uuids);
    if (connected != properties.constEnd())
        device.connected = connected.value().toBool();
    if (uuids != properties.constEnd())
        device.uuids = argumentAs<QStringList>(uuids.value());
    const bool after = AccessoryMatch::isAccessoryDevice(device.connected, device.uuids);
    if (!announce || before == after)
        return;
    if (after)
        Q_EMIT accessoryArrived();
    else
        Q_EMIT accessoryRemoved(connectedCount());
}

bool BluezWatcher::isShaped(const QString &what, const QString &signature, const QString &expected)
{
    // QtDBus reads an argument as whatever it is asked for, out of bounds when its shape is
    // another: what the service sends is read only in the shape BlueZ gives it. One warning
    // per kind, however often a broken service sends it.
    if (signature == expected)
        return true;
    if (!warned.contains(what)) {
        warned.insert(what);
        qCWarning(lcDevices).noquote()
            << QStringLiteral("Ignoring %1 from %2 with signature \"%3\" (expected \"%4\")")
                   .arg(what, BluezService, signature, expected);
    }
    return false;
}

void BluezWatcher::removeDevice(const QString &path)
{
    const auto found = devices.constFind(path);
    if (found == devices.constEnd())
        return;
    const bool present = AccessoryMatch::isAccessoryDevice(found->connected, found->uuids);
    devices.erase(found);
    if (present)
        Q_EMIT accessoryRemoved(connectedCount());
}

int BluezWatcher::connectedCount() const
{
    return int(std::count_if(devices.cbegin(), devices.cend(), [](const Device &device) {
        return AccessoryMatch::isAccessoryDevice(device.connected, device.uuids);
    }));
}
