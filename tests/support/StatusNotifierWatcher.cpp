#include "StatusNotifierWatcher.h"

#include <QDBusConnection>

namespace {

const QString Service = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString Path = QStringLiteral("/StatusNotifierWatcher");

} // namespace

StatusNotifierWatcher::~StatusNotifierWatcher()
{
    withdraw();
}

bool StatusNotifierWatcher::publish()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.registerObject(
               Path, this, QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllProperties) &&
        bus.registerService(Service);
}

void StatusNotifierWatcher::withdraw()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(Service);
    bus.unregisterObject(Path);
    registered.clear();
}

void StatusNotifierWatcher::RegisterStatusNotifierItem(const QString &service)
{
    registered.append(service);
}
