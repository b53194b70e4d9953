#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace TestFiles {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeScript(const QString &path, const QByteArray &body)
{
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly) || script.write("#!/bin/sh\n" + body) < 0)
        return false;
    script.close();
    return script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
}

bool setKdeAnimationFactor(const QByteArray &factor)
{
    // Only ever in the configuration folder of tests/with-xvfb.sh.
    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!folder.contains(QLatin1String("/lumivane-test.")) || !QDir().mkpath(folder))
        return false;
    QSaveFile file(QDir(folder).filePath(QStringLiteral("kdeglobals")));
    if (factor.isEmpty())
        return !QFile::exists(file.fileName()) || QFile::remove(file.fileName());
    return file.open(QIODevice::WriteOnly) &&
        file.write("[KDE]\nAnimationDurationFactor=" + factor + "\n") > 0 && file.commit();
}

} // namespace TestFiles
