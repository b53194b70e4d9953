#include "ReportSender.h"

#include "ChannelNames.h"

#include <QSharedMemory>

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
    // A broadcast cannot tell whether anybody took it; the running overlay holds its instance
    // marker for as long as it lives.
    QSharedMemory marker(QLatin1String(ChannelNames::InstanceMarker));
    if (marker.attach(QSharedMemory::ReadOnly))
        return true;
    error = QStringLiteral("no overlay is running (no instance marker \"%1\")")
                .arg(QLatin1String(ChannelNames::InstanceMarker));
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
