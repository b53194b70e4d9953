#include "CompanionProcess.h"

#include "session/StartEnvironment.h"

#include <QCoreApplication>

CompanionProcess::CompanionProcess(QObject *parent)
    : QProcess(parent)
    , parentPid(QCoreApplication::applicationPid())
{
    setProcessChannelMode(QProcess::ForwardedChannels);
    setProcessEnvironment(StartEnvironment::forChildren());
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    setChildProcessModifier([this] { setUpChild(); });
#endif
    tieToOurLife();
}

CompanionProcess::~CompanionProcess()
{
    // Ends the companion with us, as QProcess's own destructor would, but without its warning
    // about a process still running: here that is the intended way out. Nobody hears of this
    // end, so that nothing starts a successor on our way out.
    if (state() != QProcess::NotRunning) {
        blockSignals(true);
        killGroup();
        waitForFinished();
    }
}
