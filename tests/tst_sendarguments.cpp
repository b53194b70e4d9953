#include "SendArguments.h"
#include "support/OverlayProcess.h"

#include <QtTest>

class tst_SendArguments : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
};

void tst_SendArguments::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<quint32>("parameter");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("via");

    const int send = SendArguments::Send;
    const int runAction = SendArguments::RunAction;
    const int help = SendArguments::Help;
    const int invalid = SendArguments::Invalid;
    const QString none;
    const int automatic = SendArguments::Automatic;
    const int bus = SendArguments::Bus;
    const int windowMessage = SendArguments::WindowMessage;

    QTest::newRow("mode 2, red") << words("2 255 0 0") << send << 0x02FF0000u << none << automatic;
    QTest::newRow("each byte in place") << words("1 2 3 4") << send << 0x01020304u << none << automatic;
    QTest::newRow("ignored mode") << words("255 255 255 255") << send << 0xFFFFFFFFu << none << automatic;
    QTest::newRow("leading zeros") << words("007 0 0 010") << send << 0x0700000Au << none << automatic;
    QTest::newRow("raw") << words("--raw 0x0200FF00") << send << 0x0200FF00u << none << automatic;
    QTest::newRow("raw, largest") << words("--raw 0xFFFFFFFF") << send << 0xFFFFFFFFu << none << automatic;
    QTest::newRow("raw, short, mixed case")
        << words("--raw 0XdeadBEEF") << send << 0xDEADBEEFu << none << automatic;
    QTest::newRow("raw, leading zeros") << words("--raw 0x0000000001") << send << 0x1u << none << automatic;
    QTest::newRow("help") << words("--help") << help << 0u << none << automatic;
    QTest::newRow("short help") << words("-h") << help << 0u << none << automatic;

    QTest::newRow("nothing") << words("") << invalid << 0u << QStringLiteral("expected MODE R G B, got 0")
                             << automatic;
    QTest::newRow("three numbers") << words("2 255 0") << invalid << 0u
                                   << QStringLiteral("expected MODE R G B, got 3") << automatic;
    QTest::newRow("five numbers") << words("2 255 0 0 0") << invalid << 0u
                                  << QStringLiteral("expected MODE R G B, got 5") << automatic;
    QTest::newRow("mode too large") << words("256 0 0 0") << invalid << 0u << QStringLiteral("MODE must be")
                                    << automatic;
    QTest::newRow("red too large") << words("0 256 0 0") << invalid << 0u << QStringLiteral("R must be")
                                   << automatic;
    QTest::newRow("blue too large") << words("0 0 0 256") << invalid << 0u << QStringLiteral("B must be")
                                    << automatic;
    QTest::newRow("huge") << words("0 0 0 99999999999999999999999") << invalid << 0u
                          << QStringLiteral("B must be") << automatic;
    QTest::newRow("negative") << words("-1 0 0 0") << invalid << 0u << QStringLiteral("MODE must be")
                              << automatic;
    QTest::newRow("hexadecimal byte")
        << words("0x1 0 0 0") << invalid << 0u << QStringLiteral("MODE must be") << automatic;
    QTest::newRow("fraction") << words("1.0 0 0 0") << invalid << 0u << QStringLiteral("MODE must be")
                              << automatic;
    QTest::newRow("space inside") << QStringList {QStringLiteral(" 1"), QStringLiteral("0"),
                                         QStringLiteral("0"), QStringLiteral("0")}
                                  << invalid << 0u << QStringLiteral("MODE must be") << automatic;
    QTest::newRow("raw without parameter")
        << words("--raw") << invalid << 0u << QStringLiteral("--raw takes exactly one") << automatic;
    QTest::newRow("raw with two") << words("--raw 0x1 0x2") << invalid << 0u
                                  << QStringLiteral("--raw takes exactly one") << automatic;
    QTest::newRow("raw too wide") << words("--raw 0x100000000") << invalid << 0u
                                  << QStringLiteral("from 0x0 to 0xFFFFFFFF") << automatic;
    QTest::newRow("raw far too wide") << words("--raw 0xFFFFFFFFFFFFFFFFFFFF") << invalid << 0u
                                      << QStringLiteral("from 0x0 to 0xFFFFFFFF") << automatic;
    QTest::newRow("raw without prefix")
        << words("--raw 12") << invalid << 0u << QStringLiteral("from 0x0 to 0xFFFFFFFF") << automatic;
    QTest::newRow("raw not hexadecimal")
        << words("--raw 0x12G4") << invalid << 0u << QStringLiteral("from 0x0 to 0xFFFFFFFF") << automatic;
    QTest::newRow("raw negative") << words("--raw -0x1") << invalid << 0u
                                  << QStringLiteral("from 0x0 to 0xFFFFFFFF") << automatic;

    QTest::newRow("via dbus") << words("--via dbus 2 255 0 0") << send << 0x02FF0000u << none << bus;
    QTest::newRow("via x11, raw") << words("--via x11 --raw 0x01020304") << send << 0x01020304u << none
                                  << windowMessage;
    QTest::newRow("via nothing") << words("--via") << invalid << 0u
                                 << QStringLiteral("--via takes dbus or x11") << automatic;
    QTest::newRow("via unknown") << words("--via tcp 2 0 0 0") << invalid << 0u
                                 << QStringLiteral("--via takes dbus or x11, not \"tcp\"") << automatic;
    QTest::newRow("via, then help") << words("--via dbus --help") << invalid << 0u
                                    << QStringLiteral("expected MODE R G B, got 1") << automatic;
    QTest::newRow("via, bad numbers")
        << words("--via x11 2 256 0 0") << invalid << 0u << QStringLiteral("R must be") << automatic;
    QTest::newRow("via after the report") << words("2 255 0 0 --via dbus") << invalid << 0u
                                          << QStringLiteral("expected MODE R G B, got 6") << automatic;

    // The action to run is the last word.
    QTest::newRow("action show") << words("--action show") << runAction << 0u << none << automatic;
    QTest::newRow("action quit") << words("--action quit") << runAction << 0u << none << automatic;
    QTest::newRow("action unknown") << words("--action hide") << invalid << 0u
                                    << QStringLiteral("must be one of show|update|quit, not \"hide\"")
                                    << automatic;
    QTest::newRow("action in another case")
        << words("--action Quit") << invalid << 0u << QStringLiteral("not \"Quit\"") << automatic;
    QTest::newRow("action missing") << words("--action") << invalid << 0u
                                    << QStringLiteral("--action takes exactly one action, show|update|quit")
                                    << automatic;
    QTest::newRow("action via x11") << words("--via x11 --action quit") << invalid << 0u
                                    << QStringLiteral("without --via") << automatic;
}

void tst_SendArguments::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(quint32, parameter);
    QFETCH(QString, error);
    QFETCH(int, via);

    const SendArguments parsed = SendArguments::parse(arguments);
    QCOMPARE(int(parsed.action), action);
    QCOMPARE(parsed.desktopAction, action == SendArguments::RunAction ? arguments.constLast() : QString());
    if (action == SendArguments::Send) {
        QCOMPARE(parsed.parameter, parameter);
        QCOMPARE(int(parsed.via), via);
    }
    if (error.isEmpty())
        QVERIFY(parsed.error.isEmpty());
    else
        QVERIFY2(parsed.error.contains(error), qPrintable(parsed.error));
}

QTEST_GUILESS_MAIN(tst_SendArguments)
#include "tst_sendarguments.moc"
