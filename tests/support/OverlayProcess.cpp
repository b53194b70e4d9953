#include "OverlayProcess.h"

#include "XProbe.h"

#include "platform/ChannelNames.h"

#include <QDeadlineTimer>
#include <QFile>

namespace {

constexpr int StartTimeoutMs = 60000;

} // namespace

OverlayProcess::OverlayProcess()
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
}

OverlayProcess::~OverlayProcess()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

bool OverlayProcess::addCompanion(const QByteArray &script)
{
    QFile companion(folder.filePath(QStringLiteral("gattlink")));
    if (!companion.open(QIODevice::WriteOnly) || companion.write("#!/bin/sh\n" + script) < 0)
        return false;
    companion.close();
    return companion.setPermissions(companion.permissions() | QFileDevice::ExeOwner);
}

bool OverlayProcess::start(const QProcessEnvironment &environment, const QStringList &arguments)
{
    const QString program = folder.filePath(QStringLiteral("lumivane"));
    if (!QFile::exists(program) && !QFile::copy(QStringLiteral(LUMIVANE_PROGRAM), program))
        return false;
    collected.clear();
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted())
        return false;

    XProbe probe;
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (probe.selectionOwner(ChannelNames::Report) == XCB_WINDOW_NONE) {
        if (deadline.hasExpired() || process.state() != QProcess::Running)
            return false;
        process.waitForReadyRead(20);
    }
    return true;
}

bool OverlayProcess::stop()
{
    process.terminate();
    return process.waitForFinished(StartTimeoutMs) && process.exitStatus() == QProcess::NormalExit;
}

QByteArray OverlayProcess::errorOutput()
{
    collected += process.readAllStandardError();
    return collected;
}

bool OverlayProcess::wroteLines(const QList<QByteArray> &lines)
{
    const QList<QByteArray> written = errorOutput().split('\n');
    int next = 0;
    for (const QByteArray &line : written) {
        if (next < lines.size() && line == lines.at(next))
            ++next;
    }
    return next == lines.size();
}

int runSender(const QStringList &arguments, QByteArray *errorOutput)
{
    QProcess sender;
    sender.start(QStringLiteral(LUMIVANE_SEND), arguments);
    if (!sender.waitForFinished(StartTimeoutMs) || sender.exitStatus() != QProcess::NormalExit)
        return -1;
    if (errorOutput)
        *errorOutput = sender.readAllStandardError();
    return sender.exitCode();
}
