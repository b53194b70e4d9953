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
    connect(deviceWatcher, &DeviceWatcher::failed, this, &CompanionSupervisor::deviceWatchFailed);
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
        &CompanionSupervisor::onCompanionFinished);
}

void CompanionSupervisor::startCompanion()
{
    // A running companion is not started twice (QProcess would refuse with a warning). One that
    // has been killed runs on until its end is seen, which may come after the next arrival when
    // the link drops and returns at once, or while we were stopped: its successor then waits.
    if (process->state() != QProcess::NotRunning) {
        if (killed)
            startWhenEnded = true;
        return;
    }
    killed = false;
    startWhenEnded = false;
    // One found nowhere is simply not started.
    const QString program = CompanionLocator::find();
    if (!program.isEmpty())
        process->start(program, QStringList(), QIODevice::ReadWrite);
}

void CompanionSupervisor::watchDevices(WId window)
{
    deviceWatcher->start(window);
}

void CompanionSupervisor::handleNativeMessage(const QByteArray &eventType, void *message)
{
    deviceWatcher->handleNativeMessage(eventType, message);
}

void CompanionSupervisor::stopCompanion()
{
    // At once, without a request to close; nothing waits for the end. A start still waiting for
    // an earlier end is called off: the link has gone again.
    startWhenEnded = false;
    if (process->state() == QProcess::NotRunning)
        return;
    killed = true;
    process->killGroup();
}

void CompanionSupervisor::onCompanionFinished()
{
    killed = false;
    if (startWhenEnded)
        startCompanion();
}
