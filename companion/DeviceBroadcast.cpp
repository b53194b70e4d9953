#include "DeviceBroadcast.h"

#include "AccessoryMatch.h"

#include <algorithm>

namespace {

quint32 readWord(const unsigned char *bytes)
{
    return quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16 | quint32(bytes[3]) << 24;
}

} // namespace

DeviceBroadcast::Change DeviceBroadcast::changeOf(quint64 eventCode)
{
    if (eventCode == DeviceArrival)
        return Change::Arrival;
    if (eventCode == DeviceRemoveComplete)
        return Change::Removal;
    return Change::None;
}

bool DeviceBroadcast::readInterfaceName(const unsigned char *data, std::size_t size, QString *name)
{
    name->clear();
    if (!data || size < HeaderSize)
        return false;
    const std::size_t end = std::min<std::size_t>(size, readWord(data));
    if (end < HeaderSize || readWord(data + 4) != DeviceInterfaceType)
        return false;
    for (std::size_t offset = NameOffset; offset + 2 <= end; offset += 2) {
        const char16_t unit = char16_t(data[offset] | data[offset + 1] << 8);
        if (unit == 0)
            break;
        name->append(QChar(unit));
    }
    return true;
}

DeviceBroadcast::Change DeviceBroadcast::accessoryChange(
    quint64 eventCode, const unsigned char *data, std::size_t size, QString *name)
{
    const Change change = changeOf(eventCode);
    if (change == Change::None)
        return Change::None;
    QString interfaceName;
    if (!readInterfaceName(data, size, &interfaceName) ||
        !AccessoryMatch::isAccessoryInterface(interfaceName))
        return Change::None;
    if (name)
        *name = interfaceName;
    return change;
}
