#include "ApplicationIdentity.h"

#include "lumivane-config.h"

#include <QCoreApplication>

// The notification area shows only the icon and its tooltip; nothing else names the program.

void ApplicationIdentity::apply()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(LUMIVANE_VERSION));
}
