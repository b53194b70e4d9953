#include "DisplayPlatform.h"

#include <QByteArray>
#include <QGuiApplication>

#include <cstring>

namespace {

const char PlatformVariable[] = "QT_QPA_PLATFORM";

bool changed = false;
// Set but empty counts as unset for Qt, yet is restored as it was.
bool wasSet = false;

bool platformOnCommandLine(int argc, char *argv[])
{
    // Qt takes the option with one dash or two.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return true;
    }
    return false;
}

} // namespace

void DisplayPlatform::chooseBeforeApplication(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsEmpty(PlatformVariable) || platformOnCommandLine(argc, argv))
        return;
    const bool waylandSession =
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
    if (!waylandSession)
        return;
    wasSet = qEnvironmentVariableIsSet(PlatformVariable);
    qputenv(PlatformVariable, "xcb");
    changed = true;
}

void DisplayPlatform::restoreEnvironment()
{
    if (!changed)
        return;
    if (wasSet)
        qputenv(PlatformVariable, QByteArray(""));
    else
        qunsetenv(PlatformVariable);
    changed = false;
}

bool DisplayPlatform::hasWindowOpacity()
{
    // A Wayland client has no say over its windows' opacity; Qt's Wayland platform warns at every
    // attempt, that is at every frame of a fade.
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
