#include "OverlayProcess.h"

#include "OverlayOf_win.h"

bool OverlayProcess::start(const QProcessEnvironment &environment, const QStringList &arguments)
{
    // The program holds its instance marker before its window exists, and a report broadcast
    // before then would reach no one.
    return launch(environment, arguments) &&
        waitUntil([this] { return overlayOf(process.processId()) != nullptr; });
}
