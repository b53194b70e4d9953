#include "CompanionSupervisor.h"

#include "CompanionLocator.h"
#include "CompanionLogging.h"
#include "CompanionProcess.h"
#include "DeviceWatcher.h"

#include <QCoreApplication>
#include <QDir>

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
    connect(process, &QProcess::errorOccurred, this, &CompanionSupervisor::onCompanionError);
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
    const QString program = CompanionLocator::find();
    if (program.isEmpty()) {
        qCWarning(lcCompanion).noquote()
            << QStringLiteral("Cannot start the companion: no executable \"%1\" in %2 or in an absolute "
                              "entry of PATH \"%3\"")
                   .arg(CompanionLocator::fileName(),
                       QDir::toNativeSeparators(QCoreApplication::applicationDirPath()),
                       qEnvironmentVariable("PATH"));
        return;
    }
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

void CompanionSupervisor::stopCompanion(int stillPresent)
{
    // At once, without a request to close; nothing waits for the end. A start still waiting for
    // an earlier end is called off when the last device has gone; while one is still there, the
    // device that went may have been another one, and the accessory's companion must run on.
    startWhenEnded = false;
    if (process->state() == QProcess::NotRunning)
        return;
    killed = true;
    startWhenEnded = stillPresent > 0;
    process->killGroup();
}

void CompanionSupervisor::onCompanionFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    // Only an end we did not cause is news.
    if (!killed) {
        const QString program = QDir::toNativeSeparators(process->program());
        if (exitStatus == QProcess::CrashExit)
            qCWarning(lcCompanion).noquote() << QStringLiteral("The companion %1 crashed").arg(program);
        else
            qCWarning(lcCompanion).noquote()
                << QStringLiteral("The companion %1 ended by itself with exit status %2")
                       .arg(program)
                       .arg(exitCode);
    }
    killed = false;
    if (startWhenEnded)
        startCompanion();
}

void CompanionSupervisor::onCompanionError(QProcess::ProcessError error)
{
    // The other errors come with an end, or from talking to a companion we never talk to.
    if (error == QProcess::FailedToStart)
        qCWarning(lcCompanion).noquote()
            << QStringLiteral("Cannot start the companion %1: %2")
                   .arg(QDir::toNativeSeparators(process->program()), process->errorString());
}
