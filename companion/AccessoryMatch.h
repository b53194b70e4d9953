#ifndef ACCESSORYMATCH_H
#define ACCESSORYMATCH_H

#include <QString>
#include <QStringList>

// Recognises the accessory's link where each platform keeps it: the name of a HID device
// interface on Windows, the properties of a BlueZ device on Linux. Both look for the Bluetooth
// LE HID service (HID over GATT), so every such device counts, not only the accessory.
namespace AccessoryMatch {

// True when a HID device-interface name carries both the first top-level collection marker
// "Col01" and the HID-over-GATT service "{00001812-0000-1000-8000-00805f9b34fb}", each matched
// case-sensitively unless told otherwise (Windows lists present interfaces in lower case).
bool isAccessoryInterface(const QString &interfaceName, Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);

// True when a BlueZ device is connected and offers the HID-over-GATT service among its UUIDs
// (BlueZ writes them in lower case; another spelling does not match).
bool isAccessoryDevice(bool connected, const QStringList &serviceUuids);

} // namespace AccessoryMatch

#endif // ACCESSORYMATCH_H
