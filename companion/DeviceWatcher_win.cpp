#include "DeviceWatcher.h"

#include "DeviceBroadcast.h"

#include <windows.h>

#include <dbt.h>

#include <cstring>

namespace {

// GUID_DEVINTERFACE_HID, spelt out so that no HID library is needed for one constant.
const GUID HidInterfaceClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

} // namespace

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
    filter.dbcc_classguid = HidInterfaceClass;
    // The handle lives as long as the window; Windows drops it with the window.
    if (!RegisterDeviceNotificationW(reinterpret_cast<HANDLE>(window), &filter, DEVICE_NOTIFY_WINDOW_HANDLE))
        Q_EMIT failed();
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
    switch (DeviceBroadcast::accessoryChange(
        msg->wParam, reinterpret_cast<const unsigned char *>(header), header->dbch_size)) {
    case DeviceBroadcast::Change::Arrival:
        Q_EMIT accessoryArrived();
        break;
    case DeviceBroadcast::Change::Removal:
        Q_EMIT accessoryRemoved();
        break;
    case DeviceBroadcast::Change::None:
        break;
    }
}
