#include "SessionBus.h"

#include <QFileInfo>

bool SessionBus::provided()
{
    return !address().isEmpty();
}

QString SessionBus::address()
{
    const QString given = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!given.isEmpty())
        return given;
    const QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString socket = runtimeFolder + QStringLiteral("/bus");
    return !runtimeFolder.isEmpty() && QFileInfo::exists(socket) ? QStringLiteral("unix:path=") + socket
                                                                 : QString();
}
