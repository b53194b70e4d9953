#include "Autostart.h"

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

void Autostart::setEnabled(bool enabled, const QString &executablePath)
{
    // The settings object writes the registry when it goes out of scope, before this returns.
    QSettings run(runKey(), QSettings::NativeFormat);
    run.setValue(
        valueName(), enabled ? LaunchCommand::runValue(QDir::toNativeSeparators(executablePath)) : QString());
}
