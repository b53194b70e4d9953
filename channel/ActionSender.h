#ifndef ACTIONSENDER_H
#define ACTIONSENDER_H

#include <QString>

// Asks the running overlay to run one of its desktop actions (ChannelNames::DesktopActions) over
// the session bus (Linux), as launchers do: never starting an overlay for it. Windows has no
// session bus; its tray menu is the way there.
class ActionSender
{
public:
    enum Result {
        Done, // the overlay ran it; for quit, the overlay has ended
        NoOverlay, // none runs on the session bus, or it could not be reached
        Refused, // the overlay knows no such action
    };

    Result run(const QString &action);

    // Why the action was not done, in words for the user.
    QString errorString() const { return error; }

private:
    QString error;
};

#endif // ACTIONSENDER_H
