#include "CompanionProcess.h"

CompanionProcess::CompanionProcess(QObject *parent)
    : QProcess(parent)
{
    setProcessChannelMode(QProcess::ForwardedChannels);
}

CompanionProcess::~CompanionProcess() = default;
