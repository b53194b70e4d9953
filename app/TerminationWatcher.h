#ifndef TERMINATIONWATCHER_H
#define TERMINATIONWATCHER_H

#include <QObject>

// Ends the event loop when the session or the user asks the process to terminate, so that the
// program shuts down exactly as through its menu: the window and everything it owns destroyed,
// the instance marker released. On Linux a watchdog that needs no event loop ends the process
// a short grace period after the request even when the display holds the loop (a frozen
// compositor), and the companion's group with it.
class TerminationWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;
};

#endif // TERMINATIONWATCHER_H
