#include "OverlayProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int StartTimeoutMs = 60000;

} // namespace

OverlayProcess::OverlayProcess()
    : folder(QDir::temp().filePath(QStringLiteral("Lumi vane-XXXXXX")))
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

QString OverlayProcess::programPath() const
{
    return folder.filePath(QFileInfo(QStringLiteral(LUMIVANE_PROGRAM)).fileName());
}

bool OverlayProcess::launch(const QProcessEnvironment &environment, const QStringList &arguments)
{
    const QString program = programPath();
    if (!QFile::exists(program) && !QFile::copy(QStringLiteral(LUMIVANE_PROGRAM), program))
        return false;
    QProcessEnvironment withLog = environment;
    // On Windows a GUI program's debug log goes to the debugger unless told to use standard error.
    withLog.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    collected.clear();
    process.setProcessEnvironment(withLog);
    process.start(program, arguments);
    return process.waitForStarted(StartTimeoutMs);
}

bool OverlayProcess::waitUntil(const std::function<bool()> &ready)
{
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!ready()) {
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
    // Windows writes standard error in text mode, "\r\n" at each line's end.
    collected += process.readAllStandardError();
    collected.replace("\r\n", "\n");
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

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
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
