#ifndef DEVICEBROADCAST_H
#define DEVICEBROADCAST_H

#include <QString>

#include <cstddef>

// Reads the device-change broadcasts that Windows sends with WM_DEVICECHANGE from their
// documented little-endian byte layout, so that the reading is the same (and testable) on every
// platform. A broadcast is never trusted: nothing past its declared size, nor past the bytes
// the caller says are readable, is ever read.
namespace DeviceBroadcast {

enum class Change { None, Arrival, Removal };

// Event codes (wParam of WM_DEVICECHANGE) and the device type of an interface broadcast.
constexpr quint64 DeviceArrival = 0x8000;
constexpr quint64 DeviceRemoveComplete = 0x8004;
constexpr quint32 DeviceInterfaceType = 5;

// DEV_BROADCAST_HDR: size, device type, reserved (three 32-bit words). The name of a
// DEV_BROADCAST_DEVICEINTERFACE_W follows the header and a 16-byte class GUID.
constexpr std::size_t HeaderSize = 12;
constexpr std::size_t NameOffset = 28;

// The change an event code announces; anything but an arrival or a completed removal is None,
// and then the broadcast must not be read at all (its address may be anything).
Change changeOf(quint64 eventCode);

// The interface name of a device-interface broadcast: UTF-16 code units from NameOffset up to
// the first zero unit or the end of the broadcast, where the end is the smaller of its declared
// size and `size`, the bytes readable at `data`. An odd last byte is not part of the name.
// False for a broadcast too short for its header or of another device type.
bool readInterfaceName(const unsigned char *data, std::size_t size, QString *name);

// What a WM_DEVICECHANGE means for the accessory: an arrival or removal of an interface that
// AccessoryMatch recognises, else None. The interface's name goes to `name` when one is given.
Change accessoryChange(
    quint64 eventCode, const unsigned char *data, std::size_t size, QString *name = nullptr);

} // namespace DeviceBroadcast

#endif // DEVICEBROADCAST_H
