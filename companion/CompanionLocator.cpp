#include "CompanionLocator.h"

#include "lumivane-config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString CompanionLocator::fileName()
{
    return QStringLiteral(LUMIVANE_COMPANION_FILE);
}

QString CompanionLocator::locate(const QString &fileName, const QString &programDir,
    const QString &searchPath, QChar separator, const std::function<bool(const QString &path)> &isProgram)
{
    QStringList directories {programDir};
    directories += searchPath.split(separator);
    for (const QString &directory : qAsConst(directories)) {
        if (directory.isEmpty() || !QDir::isAbsolutePath(directory))
            continue;
        const QString candidate = QDir(directory).filePath(fileName);
        if (isProgram(candidate))
            return candidate;
    }
    return QString();
}

QString CompanionLocator::find()
{
    return locate(fileName(), QCoreApplication::applicationDirPath(), qEnvironmentVariable("PATH"),
        QDir::listSeparator(), [](const QString &path) {
            const QFileInfo info(path);
            return info.isFile() && info.isExecutable();
        });
}
