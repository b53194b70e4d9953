#include "SendArguments.h"
#include "platform/ReportSender.h"

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

    ReportSender sender;
    if (!sender.send(parsed.parameter)) {
        print(stderr, QStringLiteral("lumivane-send: %1\n").arg(sender.errorString()));
        return 3;
    }
    return 0;
}
