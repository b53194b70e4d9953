#include "TerminationWatcher.h"

// A GUI process on Windows receives no console signals; the end of a session reaches it as window
// messages, which Qt turns into the application's own shutdown.
TerminationWatcher::TerminationWatcher(QObject *parent)
    : QObject(parent)
{
}

TerminationWatcher::~TerminationWatcher() = default;
