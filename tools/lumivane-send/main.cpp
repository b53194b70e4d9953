#include "SendArguments.h"
#include "channel/ActionSender.h"
#include "channel/BusReportSender.h"
#include "channel/ReportSender.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    const SendArguments parsed = SendArguments::parse(arguments);
    if (parsed.action == SendArguments::Help) {
        print(stdout, SendArguments::usage());
        return 0;
    }
    if (parsed.action == SendArguments::Invalid) {
        print(stderr, QStringLiteral("lumivane-send: %1\n").arg(parsed.error) + SendArguments::usage());
        return 2;
    }

    // The session bus wants an application object for its connection.
    QCoreApplication application(argc, argv);
    if (parsed.action == SendArguments::RunAction) {
        ActionSender actionSender;
        const ActionSender::Result result = actionSender.run(parsed.desktopAction);
        if (result == ActionSender::Done)
            return 0;
        print(stderr, QStringLiteral("lumivane-send: %1\n").arg(actionSender.errorString()));
        return result == ActionSender::Refused ? 2 : 3;
    }
    BusReportSender busSender;
    const bool useBus = parsed.via == SendArguments::Bus ||
        (parsed.via == SendArguments::Automatic && busSender.busAvailable());
    if (useBus && busSender.send(parsed.parameter))
        return 0;
    // An overlay running without the session bus still has its window message.
    if (parsed.via == SendArguments::Bus) {
        print(stderr, QStringLiteral("lumivane-send: %1\n").arg(busSender.errorString()));
        return 3;
    }
    ReportSender sender;
    if (!sender.send(parsed.parameter)) {
        if (useBus)
            print(stderr, QStringLiteral("lumivane-send: %1\n").arg(busSender.errorString()));
        print(stderr, QStringLiteral("lumivane-send: %1\n").arg(sender.errorString()));
        return 3;
    }
    return 0;
}
