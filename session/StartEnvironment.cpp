#include "StartEnvironment.h"

#include <optional>

namespace {

std::optional<QProcessEnvironment> snapshot;

} // namespace

void StartEnvironment::take()
{
    if (!snapshot)
        retake();
}

void StartEnvironment::retake()
{
    snapshot = QProcessEnvironment::systemEnvironment();
}

QProcessEnvironment StartEnvironment::forChildren()
{
    take();
    QProcessEnvironment environment = *snapshot;
    for (const char *consumed : {"WAYLAND_SOCKET", "DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN"})
        environment.remove(QLatin1String(consumed));
    return environment;
}
