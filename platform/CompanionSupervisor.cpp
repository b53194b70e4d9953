#include "CompanionSupervisor.h"

#include "CompanionLocator.h"
#include "CompanionProcess.h"
#include "DeviceWatcher.h"

CompanionSupervisor::CompanionSupervisor(CompanionProcess *process, QObject *parent)
    : QObject(parent)
    , process(process)
    , deviceWatcher(new DeviceWatcher(this))
{
    connect(deviceWatcher, &DeviceWatcher::accessoryArrived, this, &CompanionSupervisor::startCompanion);
    connect(deviceWatcher, &DeviceWatcher::accessoryRemoved, this, &CompanionSupervisor::stopCompanion);
}

void CompanionSupervisor::startCompanion()
{
    // A running companion is not started twice (QProcess would refuse with a warning), and one
    // found nowhere is simply not started.
    if (process->state() != QProcess::NotRunning)
        return;
    const QString program = CompanionLocator::find();
    if (!program.isEmpty())
        process->start(program, QStringList(), QIODevice::ReadWrite);
}

bool CompanionSupervisor::watchDevices(WId window)
{
    return deviceWatcher->start(window);
}

void CompanionSupervisor::handleNativeMessage(const QByteArray &eventType, void *message)
{
    deviceWatcher->handleNativeMessage(eventType, message);
}

void CompanionSupervisor::stopCompanion()
{
    // At once, without a request to close; nothing waits for the end.
    process->killGroup();
}
