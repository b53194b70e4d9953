#include "DeviceWatcher.h"

#include "BluezWatcher.h"
#include "sessionbus/BusProbe.h"

#include <QDBusConnection>

DeviceWatcher::DeviceWatcher(QObject *parent)
    : QObject(parent)
{
}

DeviceWatcher::~DeviceWatcher() = default;

void DeviceWatcher::start(WId)
{
    // Connected only once the bus has answered: a stalled one would hold the program.
    auto *probe = new BusProbe(BusProbe::systemBusAddress(), this);
    connect(probe, &BusProbe::finished, this, [this, probe](BusProbe::Answer answer) {
        probe->deleteLater();
        if (answer != BusProbe::Answer::Answered) {
            Q_EMIT failed();
            return;
        }
        // udev is not enough: BlueZ keeps the HID device of a disconnected accessory, so the link
        // is followed where BlueZ publishes it.
        auto *bluez = new BluezWatcher(QDBusConnection::systemBus(), this);
        connect(bluez, &BluezWatcher::accessoryArrived, this, &DeviceWatcher::accessoryArrived);
        connect(bluez, &BluezWatcher::accessoryRemoved, this, &DeviceWatcher::accessoryRemoved);
        if (!bluez->start())
            Q_EMIT failed();
    });
    probe->start();
}

void DeviceWatcher::handleNativeMessage(const QByteArray &, void *)
{
    // Device changes reach Linux through D-Bus, never as window messages.
}
