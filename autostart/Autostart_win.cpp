#include "Autostart_win.h"

#include "AutostartLogging.h"
#include "LaunchCommand.h"

#include <QDir>
#include <QSettings>

namespace {

QString runKey()
{
    return QStringLiteral(R"(HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Run)");
}

QString valueName()
{
    return QStringLiteral("lumivane");
}

} // namespace

bool Autostart::isEnabled(const QString &executablePath)
{
    const QSettings run(runKey(), QSettings::NativeFormat);
    return LaunchCommand::runValueNames(run.value(valueName()), QDir::toNativeSeparators(executablePath));
}

bool Autostart::setEnabled(bool enabled, const QString &executablePath)
{
    QSettings run(runKey(), QSettings::NativeFormat);
    return setEnabled(enabled, executablePath, run);
}

bool Autostart::setEnabled(bool enabled, const QString &executablePath, QSettings &run)
{
    run.setValue(
        valueName(), enabled ? LaunchCommand::runValue(QDir::toNativeSeparators(executablePath)) : QString());
    // The registry takes the value at once, a file-backed store on sync(); either way the status then
    // says whether it was refused.
    run.sync();
    if (run.status() == QSettings::NoError)
        return true;
    qCWarning(lcAutostart, "Autostart: could not write the value %s in %s: %s", qUtf8Printable(valueName()),
        qUtf8Printable(run.fileName()),
        run.status() == QSettings::AccessError ? "access refused" : "format error");
    return false;
}
