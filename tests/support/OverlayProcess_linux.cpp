#include "OverlayProcess.h"

#include "XProbe.h"

#include "channel/ChannelNames.h"

bool OverlayProcess::start(const QProcessEnvironment &environment, const QStringList &arguments)
{
    if (!launch(environment, arguments))
        return false;
    XProbe probe;
    return waitUntil([&probe] { return probe.selectionOwner(ChannelNames::Report) != XCB_WINDOW_NONE; });
}
