#include "ModeChannel.h"

#include "ChannelNames.h"

#include <windows.h>

namespace {

// Registered before the application object exists; every process that registers the same
// name gets the same identifier.
const UINT lumivaneMessage = RegisterWindowMessageA(ChannelNames::Report);

} // namespace

void ModeChannel::listen(QWindow *, const std::function<bool(quint32)> &)
{
    // Windows delivers a broadcast registered message to every top-level window, hidden or not.
}

bool ModeChannel::readReport(const QByteArray &eventType, void *message, quint32 *parameter)
{
    if (eventType != "windows_generic_MSG")
        return false;
    const auto *msg = static_cast<const MSG *>(message);
    if (msg->message != lumivaneMessage)
        return false;
    // Only the low 32 bits of the (64-bit) wParam carry the report.
    *parameter = static_cast<quint32>(msg->wParam & 0xFFFFFFFFu);
    return true;
}
