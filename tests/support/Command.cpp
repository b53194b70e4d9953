#include "Command.h"

#include <QProcess>
#include <QStringList>

int runCommand(const QString &commandLine, QByteArray *output)
{
    QStringList arguments = commandLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(arguments.takeFirst(), arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitCode();
}
