#include "ModeChannel.h"

#include "ChannelLogging.h"
#include "ChannelNames.h"

#include <windows.h>

namespace {

struct Registration
{
    // Every process that registers the same name gets the same identifier; 0 when the
    // registration failed, and then no message is a report (WM_NULL, 0, is no report).
    UINT message = RegisterWindowMessageA(ChannelNames::Report);
    DWORD error = message == 0 ? GetLastError() : 0;
};

// Registered before the application object exists.
const Registration registration;

} // namespace

void ModeChannel::listen(QWindow *, const std::function<bool(quint32)> &)
{
    // Windows delivers a broadcast registered message to every top-level window, hidden or not.
    // A failed registration is said here, once, rather than where it happened, before anything
    // was set up to hear it.
    static bool said = false;
    if (registration.message == 0 && !said) {
        said = true;
        qCWarning(lcChannel).noquote()
            << QStringLiteral("Cannot register the window message %1 (error %2): no report will be received")
                   .arg(QLatin1String(ChannelNames::Report))
                   .arg(registration.error);
    }
}

bool ModeChannel::heldByAnotherOverlay()
{
    // The overlay's kernel object has decided before the window exists.
    return false;
}

void ModeChannel::whenAnotherOverlayHolds(const std::function<void()> &) { }

ModeChannel::Holder ModeChannel::holder()
{
    // A broadcast reaches every window: the channel is the running overlay's while it holds its
    // named mutex. One of another elevation (an overlay started as administrator) holds it too,
    // where this process may not open it.
    HANDLE object = OpenMutexW(SYNCHRONIZE, FALSE, ChannelNames::InstanceObject);
    if (object) {
        CloseHandle(object);
        return Holder::Overlay;
    }
    return GetLastError() == ERROR_ACCESS_DENIED ? Holder::Overlay : Holder::NoOverlay;
}

bool ModeChannel::holding()
{
    return registration.message != 0;
}

bool ModeChannel::readReport(const QByteArray &eventType, void *message, quint32 *parameter)
{
    if (eventType != "windows_generic_MSG")
        return false;
    const auto *msg = static_cast<const MSG *>(message);
    if (registration.message == 0 || msg->message != registration.message)
        return false;
    // Only the low 32 bits of the (64-bit) wParam carry the report.
    *parameter = static_cast<quint32>(msg->wParam & 0xFFFFFFFFu);
    return true;
}
