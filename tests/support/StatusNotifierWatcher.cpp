#include "StatusNotifierWatcher.h"

#include <QDBusConnection>

StatusNotifierWatcher::~StatusNotifierWatcher()
{
    QDBusConnection::sessionBus().unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}

bool StatusNotifierWatcher::publish()
{
    return QDBusConnection::sessionBus().registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
               QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllProperties) &&
        QDBusConnection::sessionBus().registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
}
