#include "ReportSender.h"

#include "ChannelNames.h"
#include "ModeChannel.h"

#include <windows.h>

struct ReportSender::Native
{
    // Every process that registers the name gets the overlay's identifier; 0 when the
    // registration failed.
    UINT message = RegisterWindowMessageA(ChannelNames::Report);
    DWORD error = message == 0 ? GetLastError() : 0;
};

ReportSender::ReportSender()
    : native(new Native)
{
}

ReportSender::~ReportSender() = default;

bool ReportSender::overlayRunning()
{
    // A broadcast cannot tell whether anybody took it; the running overlay holds its named mutex
    // for as long as it lives. The instance marker is a common word that anyone may hold.
    if (ModeChannel::holder() == ModeChannel::Holder::Overlay)
        return true;
    error = QStringLiteral("no overlay is running (nobody holds the overlay's mutex)");
    return false;
}

bool ReportSender::send(quint32 parameter)
{
    // A broadcast of message 0 (WM_NULL) would reach every window and no overlay.
    if (native->message == 0) {
        error = QStringLiteral("the window message %1 could not be registered (error %2)")
                    .arg(QLatin1String(ChannelNames::Report))
                    .arg(native->error);
        return false;
    }
    if (!overlayRunning())
        return false;
    if (!PostMessageA(HWND_BROADCAST, native->message, static_cast<WPARAM>(parameter), 0)) {
        error = QStringLiteral("the report could not be posted (error %1)").arg(GetLastError());
        return false;
    }
    return true;
}
