#include "BusReportSender.h"

bool BusReportSender::busAvailable()
{
    return false;
}

bool BusReportSender::send(quint32)
{
    error = QStringLiteral("there is no session bus on Windows");
    return false;
}
