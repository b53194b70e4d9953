#include "DeviceWatcher.h"

#include "BluezWatcher.h"

#include <QDBusConnection>

DeviceWatcher::DeviceWatcher(QObject *parent)
    : QObject(parent)
{
}

DeviceWatcher::~DeviceWatcher() = default;

bool DeviceWatcher::start(WId)
{
    // udev is not enough: BlueZ keeps the HID device of a disconnected accessory, so the link
    // is followed where BlueZ publishes it.
    auto *bluez = new BluezWatcher(QDBusConnection::systemBus(), this);
    connect(bluez, &BluezWatcher::accessoryArrived, this, &DeviceWatcher::accessoryArrived);
    connect(bluez, &BluezWatcher::accessoryRemoved, this, &DeviceWatcher::accessoryRemoved);
    return bluez->start();
}

void DeviceWatcher::handleNativeMessage(const QByteArray &, void *)
{
    // Device changes reach Linux through D-Bus, never as window messages.
}
