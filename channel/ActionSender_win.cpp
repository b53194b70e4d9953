#include "ActionSender.h"

ActionSender::Result ActionSender::run(const QString &)
{
    error = QStringLiteral("there is no session bus on Windows: the tray menu runs the overlay's actions");
    return NoOverlay;
}
