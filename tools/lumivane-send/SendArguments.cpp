#include "SendArguments.h"

#include "channel/ChannelNames.h"
#include "channel/ModeReport.h"

#include <QRegularExpression>

namespace {

SendArguments invalid(const QString &error)
{
    SendArguments result;
    result.error = error;
    return result;
}

// Plain decimal digits only: no sign, no spaces, no other base.
bool parseByte(const QString &text, quint32 *value)
{
    static const QRegularExpression digits(QStringLiteral("\\A[0-9]+\\z"));
    if (!digits.match(text).hasMatch())
        return false;
    bool ok = false;
    const qulonglong number = text.toULongLong(&ok, 10);
    if (!ok || number > 255)
        return false;
    *value = static_cast<quint32>(number);
    return true;
}

bool parseRaw(const QString &text, quint32 *value)
{
    static const QRegularExpression hex(QStringLiteral("\\A0[xX][0-9a-fA-F]+\\z"));
    if (!hex.match(text).hasMatch())
        return false;
    bool ok = false;
    const qulonglong number = text.mid(2).toULongLong(&ok, 16);
    if (!ok || number > 0xFFFFFFFFu)
        return false;
    *value = static_cast<quint32>(number);
    return true;
}

SendArguments runAction(const QStringList &arguments)
{
    QStringList actions;
    for (const char *action : ChannelNames::DesktopActions)
        actions << QLatin1String(action);
    const QString choices = actions.join(QLatin1Char('|'));
    if (arguments.size() != 2)
        return invalid(QStringLiteral("--action takes exactly one action, %1").arg(choices));
    const QString &name = arguments.at(1);
    if (!actions.contains(name))
        return invalid(QStringLiteral("the action must be one of %1, not \"%2\"").arg(choices, name));
    SendArguments result;
    result.action = SendArguments::RunAction;
    result.desktopAction = name;
    return result;
}

} // namespace

SendArguments SendArguments::parse(const QStringList &allArguments)
{
    QStringList arguments = allArguments;
    Channel via = Automatic;
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("--via")) {
        const QString channel = arguments.value(1);
        if (channel == QLatin1String("dbus"))
            via = Bus;
        else if (channel == QLatin1String("x11"))
            via = WindowMessage;
        else
            return invalid(QStringLiteral("--via takes dbus or x11, not \"%1\"").arg(channel));
        arguments = arguments.mid(2);
    }

    if (!arguments.isEmpty() && arguments.first() == QLatin1String("--action")) {
        if (via != Automatic)
            return invalid(QStringLiteral("--action goes over the session bus alone, without --via"));
        return runAction(arguments);
    }

    if (via == Automatic && arguments.size() == 1 &&
        (arguments.first() == QLatin1String("-h") || arguments.first() == QLatin1String("--help"))) {
        SendArguments result;
        result.action = Help;
        return result;
    }

    quint32 parameter = 0;
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("--raw")) {
        if (arguments.size() != 2)
            return invalid(QStringLiteral("--raw takes exactly one parameter"));
        if (!parseRaw(arguments.at(1), &parameter))
            return invalid(
                QStringLiteral("the parameter must be a hexadecimal number from 0x0 to 0xFFFFFFFF, "
                               "not \"%1\"")
                    .arg(arguments.at(1)));
    } else {
        if (arguments.size() != 4)
            return invalid(QStringLiteral("expected MODE R G B, got %1 argument(s)").arg(arguments.size()));
        static const char *const names[] = {"MODE", "R", "G", "B"};
        quint32 values[4] = {};
        for (int i = 0; i < 4; ++i) {
            if (!parseByte(arguments.at(i), &values[i]))
                return invalid(QStringLiteral("%1 must be a decimal number from 0 to 255, not \"%2\"")
                                   .arg(QLatin1String(names[i]), arguments.at(i)));
        }
        parameter =
            ModeReport {quint8(values[0]), quint8(values[1]), quint8(values[2]), quint8(values[3])}.encode();
    }

    SendArguments result;
    result.action = Send;
    result.via = via;
    result.parameter = parameter;
    return result;
}

QString SendArguments::usage()
{
    return QStringLiteral(
        "usage: lumivane-send MODE R G B\n"
        "       lumivane-send --raw 0xPPPPPPPP\n"
        "       lumivane-send --via dbus|x11 MODE R G B | --raw 0xPPPPPPPP\n"
        "       lumivane-send --action show|update|quit\n"
        "Sends one mode report to the running overlay, as the companion program does.\n"
        "MODE, R, G and B are decimal numbers from 0 to 255 (modes 0-3 are shown; the overlay\n"
        "only logs the others). --raw sends a whole parameter, MODE << 24 | R << 16 | G << 8 | B.\n"
        "On Linux the report goes over the session bus, which starts the overlay if none runs,\n"
        "and over X11 where no session bus answers; --via forces one. On Windows it goes as the\n"
        "registered window message, which --via x11 also names.\n"
        "--action asks the overlay running on the session bus (Linux) to run one of the entries of\n"
        "its tray menu: show the display, open the support page, or quit; it starts none.\n"
        "Exit status: 0 sent or done, 2 usage or range error or an unknown action, 3 no overlay\n"
        "could be reached or started (with --action: none runs).\n");
}
