#include "WarningLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

namespace {

// Large enough for the warnings of many runs, small enough to read whole when trimming it.
constexpr qint64 MaxBytes = 64 * 1024;

QtMessageHandler previousHandler = nullptr;
QString logPath;
QBasicMutex fileMutex;
// Set while this thread writes the file, so that a warning about the file itself is not written.
thread_local bool writing = false;

// Keeps the newer half of the file, from the start of a line on.
void dropOlderHalf(QFile &file)
{
    const QByteArray contents = file.readAll();
    const int lineStart = contents.indexOf('\n', contents.size() / 2) + 1;
    file.resize(0);
    file.write(lineStart > 0 ? contents.mid(lineStart) : QByteArray());
}

void append(const QByteArray &line)
{
    QFile file(logPath);
    if (!QDir().mkpath(QFileInfo(logPath).path()) || !file.open(QIODevice::ReadWrite))
        return;
    if (file.size() + line.size() > MaxBytes)
        dropOlderHalf(file);
    file.seek(file.size());
    file.write(line);
}

void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && !logPath.isEmpty() && !writing) {
        const QString line = QDateTime::currentDateTime().toString(Qt::ISODate) + QLatin1Char(' ') +
            qFormatLogMessage(type, context, message) + QStringLiteral("\r\n");
        QMutexLocker locker(&fileMutex);
        writing = true;
        append(line.toUtf8());
        writing = false;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

WarningLog::WarningLog()
{
    const QString folder = qEnvironmentVariable("LOCALAPPDATA");
    if (!folder.isEmpty())
        logPath = QDir(folder).filePath(QStringLiteral("Lumivane/lumivane.log"));
    previousHandler = qInstallMessageHandler(&handleMessage);
}

WarningLog::~WarningLog()
{
    qInstallMessageHandler(previousHandler);
}
