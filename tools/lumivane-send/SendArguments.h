#ifndef SENDARGUMENTS_H
#define SENDARGUMENTS_H

#include <QString>
#include <QStringList>

// The command line of lumivane-send, without the program name:
//   [--via dbus|x11] MODE R G B          four decimal numbers, each 0-255
//   [--via dbus|x11] --raw 0xPPPPPPPP    a whole parameter in hexadecimal, up to 0xFFFFFFFF
//   --action show|update|quit            one of the running overlay's desktop actions
//   -h | --help
struct SendArguments
{
    enum Action { Send, RunAction, Help, Invalid };
    // The channel: the session bus when one answers, else the window system's message; or the
    // one forced with --via.
    enum Channel { Automatic, Bus, WindowMessage };

    Action action = Invalid;
    Channel via = Automatic;
    // The report to send, an encoded ModeReport.
    quint32 parameter = 0;
    // The desktop action to run, one of ChannelNames::DesktopActions.
    QString desktopAction;
    // Why the arguments are invalid, in words for the user.
    QString error;

    static SendArguments parse(const QStringList &arguments);
    static QString usage();
};

#endif // SENDARGUMENTS_H
