#ifndef SENDARGUMENTS_H
#define SENDARGUMENTS_H

#include <QString>
#include <QStringList>

// The command line of lumivane-send, without the program name:
//   MODE R G B          four decimal numbers, each 0-255
//   --raw 0xPPPPPPPP    a whole parameter in hexadecimal, up to 0xFFFFFFFF
//   -h | --help
struct SendArguments
{
    enum Action { Send, Help, Invalid };

    Action action = Invalid;
    // The report to send, an encoded ModeReport.
    quint32 parameter = 0;
    // Why the arguments are invalid, in words for the user.
    QString error;

    static SendArguments parse(const QStringList &arguments);
    static QString usage();
};

#endif // SENDARGUMENTS_H
