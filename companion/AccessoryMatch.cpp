#include "AccessoryMatch.h"

namespace {

const QLatin1String CollectionMarker("Col01");
const QLatin1String HidServiceInterface("{00001812-0000-1000-8000-00805f9b34fb}");
const QLatin1String HidServiceUuid("00001812-0000-1000-8000-00805f9b34fb");

} // namespace

bool AccessoryMatch::isAccessoryInterface(const QString &interfaceName, Qt::CaseSensitivity sensitivity)
{
    return interfaceName.contains(CollectionMarker, sensitivity) &&
        interfaceName.contains(HidServiceInterface, sensitivity);
}

bool AccessoryMatch::isAccessoryDevice(bool connected, const QStringList &serviceUuids)
{
    return connected && serviceUuids.contains(HidServiceUuid, Qt::CaseSensitive);
}
