#include "InstanceMarker.h"

#include "channel/ChannelNames.h"

#include <QDir>

namespace InstanceMarker {

QStringList keyFiles()
{
    const QString pattern =
        QLatin1String("qipc_sharedmemory_") + QLatin1String(ChannelNames::InstanceMarker) + QLatin1Char('*');
    return QDir::temp().entryList({pattern}, QDir::Files);
}

} // namespace InstanceMarker
