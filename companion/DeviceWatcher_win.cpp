#include "DeviceWatcher.h"

#include "AccessoryMatch.h"
#include "CompanionLogging.h"
#include "DeviceBroadcast.h"
#include "HidInterfaces_win.h"

#include <windows.h>

#include <dbt.h>

#include <cstring>

DeviceWatcher::DeviceWatcher(QObject *parent)
    : QObject(parent)
{
}

DeviceWatcher::~DeviceWatcher() = default;

void DeviceWatcher::start(WId window)
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    std::memset(&filter, 0, sizeof filter);
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = HidInterfaces::InterfaceClass;
    // The handle lives as long as the window; Windows drops it with the window.
    if (!RegisterDeviceNotificationW(
            reinterpret_cast<HANDLE>(window), &filter, DEVICE_NOTIFY_WINDOW_HANDLE)) {
        Q_EMIT failed();
        return;
    }

    // Listed after the registration, so that nothing arriving in between goes unseen. A device
    // counts once however often it is named.
    bool listed = true;
    const QStringList present = HidInterfaces::enumeration(&listed);
    if (!listed)
        qCWarning(lcDevices)
            << "Cannot list all the HID interfaces present; those not listed are not counted";
    for (const QString &name : present) {
        if (AccessoryMatch::isAccessoryInterface(name, Qt::CaseInsensitive))
            presentInterfaces.insert(name.toLower());
    }
    qCInfo(lcDevices) << "Bluetooth LE HID interfaces present at start:" << presentInterfaces.size();
}

void DeviceWatcher::handleNativeMessage(const QByteArray &eventType, void *message)
{
    if (eventType != "windows_generic_MSG")
        return;
    const auto *msg = static_cast<const MSG *>(message);
    // lParam is only an address for the two codes that carry a broadcast.
    if (msg->message != WM_DEVICECHANGE ||
        DeviceBroadcast::changeOf(msg->wParam) == DeviceBroadcast::Change::None || msg->lParam == 0)
        return;
    const auto *header = reinterpret_cast<const DEV_BROADCAST_HDR *>(msg->lParam);
    QString name;
    switch (DeviceBroadcast::accessoryChange(
        msg->wParam, reinterpret_cast<const unsigned char *>(header), header->dbch_size, &name)) {
    case DeviceBroadcast::Change::Arrival:
        presentInterfaces.insert(name.toLower());
        Q_EMIT accessoryArrived();
        break;
    case DeviceBroadcast::Change::Removal:
        presentInterfaces.remove(name.toLower());
        Q_EMIT accessoryRemoved(presentInterfaces.size());
        break;
    case DeviceBroadcast::Change::None:
        break;
    }
}
