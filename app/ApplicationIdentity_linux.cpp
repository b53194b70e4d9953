#include "ApplicationIdentity.h"

#include "lumivane-config.h"

#include <QCoreApplication>

void ApplicationIdentity::apply()
{
    // A status-notifier item's Title and Id are the application name, which is otherwise the
    // executable's, "lumivane". The class half of WM_CLASS follows it. The overlay still sets no
    // title of its own; the X11 platform names an untitled window after the application.
    QCoreApplication::setApplicationName(QStringLiteral("Lumivane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMIVANE_VERSION));
}
