#include "autostart/LaunchCommand.h"

#include <QTest>

// The text forms of the command that starts the program at logon: the Windows Run value and the
// Exec key of a desktop entry, written and read back.
class tst_LaunchCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runValueQuotesBlanks();
    void runValueNames_data();
    void runValueNames();
    void execValue_data();
    void execValue();
    void execArguments_data();
    void execArguments();
    void roundTrip_data();
    void roundTrip();
};

void tst_LaunchCommand::runValueQuotesBlanks()
{
    QCOMPARE(LaunchCommand::runValue(QStringLiteral(R"(C:\Lumivane\lumivane.exe)")),
        QStringLiteral(R"(C:\Lumivane\lumivane.exe)"));
    QCOMPARE(LaunchCommand::runValue(QStringLiteral(R"(C:\Program Files\Lumivane\lumivane.exe)")),
        QStringLiteral(R"("C:\Program Files\Lumivane\lumivane.exe")"));
}

void tst_LaunchCommand::runValueNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("names");

    const QString plain = QStringLiteral(R"(C:\Lumivane\lumivane.exe)");
    const QString blank = QStringLiteral(R"(C:\Program Files\Lumivane\lumivane.exe)");
    QTest::newRow("bare") << plain << QVariant(plain) << true;
    QTest::newRow("blank, quoted") << blank
                                   << QVariant(QStringLiteral(R"("C:\Program Files\Lumivane\lumivane.exe")"))
                                   << true;
    QTest::newRow("blank, bare (written before)") << blank << QVariant(blank) << true;
    QTest::newRow("plain, quoted") << plain << QVariant(QStringLiteral(R"("C:\Lumivane\lumivane.exe")"))
                                   << true;
    QTest::newRow("absent") << plain << QVariant() << false;
    QTest::newRow("empty") << plain << QVariant(QString()) << false;
    QTest::newRow("other case") << plain << QVariant(QStringLiteral(R"(c:\lumivane\Lumivane.exe)")) << false;
    QTest::newRow("forward slashes") << plain << QVariant(QStringLiteral("C:/Lumivane/lumivane.exe"))
                                     << false;
    QTest::newRow("with option") << plain << QVariant(QStringLiteral(R"(C:\Lumivane\lumivane.exe -s)"))
                                 << false;
    QTest::newRow("opening quote only")
        << plain << QVariant(QStringLiteral(R"("C:\Lumivane\lumivane.exe)")) << false;
    QTest::newRow("not a string") << plain << QVariant(QStringList(plain)) << false;
    QTest::newRow("empty path") << QString() << QVariant(QString()) << false;
}

void tst_LaunchCommand::runValueNames()
{
    QFETCH(QString, path);
    QFETCH(QVariant, value);
    QFETCH(bool, names);
    QCOMPARE(LaunchCommand::runValueNames(value, path), names);
}

void tst_LaunchCommand::execValue_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("value");

    // As they stand in the file: the escapes of string values on top of the quoting.
    QTest::newRow("plain") << "/usr/bin/lumivane"
                           << "/usr/bin/lumivane";
    QTest::newRow("non-ASCII, comma, equals") << "/opt/灯,a=b/lumivane"
                                              << "/opt/灯,a=b/lumivane";
    QTest::newRow("blank") << "/opt/Lumi vane/lumivane"
                           << R"("/opt/Lumi vane/lumivane")";
    QTest::newRow("percent") << "/opt/100%/lumivane"
                             << "/opt/100%%/lumivane";
    QTest::newRow("percent and blank") << "/opt/100 %/lumivane"
                                       << R"("/opt/100 %%/lumivane")";
    QTest::newRow("backslash") << R"(/opt/a\b/lumivane)"
                               << R"("/opt/a\\\\b/lumivane")";
    QTest::newRow("dollar") << "/opt/$x/lumivane"
                            << R"("/opt/\\$x/lumivane")";
    QTest::newRow("double quote") << R"(/opt/a"b/lumivane)"
                                  << R"("/opt/a\\"b/lumivane")";
    QTest::newRow("single quote") << "/opt/it's/lumivane"
                                  << R"("/opt/it's/lumivane")";
    QTest::newRow("tab") << "/opt/a\tb/lumivane"
                         << R"("/opt/a\tb/lumivane")";
}

void tst_LaunchCommand::execValue()
{
    QFETCH(QString, program);
    QFETCH(QString, value);
    QCOMPARE(LaunchCommand::execValue(program), value);
}

void tst_LaunchCommand::execArguments_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("arguments"); // joined by '|'; "-" for a malformed value

    QTest::newRow("plain") << "/usr/bin/lumivane"
                           << "/usr/bin/lumivane";
    QTest::newRow("option, extra blanks") << "  /usr/bin/lumivane   -s "
                                          << "/usr/bin/lumivane|-s";
    QTest::newRow("quoted without need") << R"("/usr/bin/lumivane")"
                                         << "/usr/bin/lumivane";
    QTest::newRow("unquoted blank splits") << "/opt/Lumi vane/lumivane"
                                           << "/opt/Lumi|vane/lumivane";
    QTest::newRow("single-backslash dollar") << R"("/opt/\$x")"
                                             << "/opt/$x";
    QTest::newRow("space escape") << R"("/opt/a\sb")"
                                  << "/opt/a b";
    QTest::newRow("field code") << "/usr/bin/lumivane %U"
                                << "-";
    QTest::newRow("unterminated quote") << R"("/opt/Lumi vane/lumivane)"
                                        << "-";
    QTest::newRow("quote inside argument") << R"(/opt/a"b c")"
                                           << "-";
    QTest::newRow("text after quote") << R"("/opt/a b"c)"
                                      << "-";
    QTest::newRow("unescaped dollar in quotes") << R"("/opt/$x")"
                                                << "-";
    QTest::newRow("unknown escape in quotes") << R"("/opt/\\q")"
                                              << "-";
    QTest::newRow("reserved outside quotes") << "/opt/a;b"
                                             << "-";
}

void tst_LaunchCommand::execArguments()
{
    QFETCH(QString, value);
    QFETCH(QString, arguments);

    const std::optional<QStringList> parsed = LaunchCommand::execArguments(value);
    QCOMPARE(parsed ? parsed->join(QLatin1Char('|')) : QStringLiteral("-"), arguments);
}

void tst_LaunchCommand::roundTrip_data()
{
    QTest::addColumn<QString>("path");

    const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    for (const QChar c : reserved)
        QTest::newRow(qPrintable(QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))))
            << QStringLiteral("/opt/a%1b/lumivane").arg(c);
    QTest::newRow("everything") << QStringLiteral("/opt/%1 100%% 灯/lumivane").arg(reserved);
}

void tst_LaunchCommand::roundTrip()
{
    QFETCH(QString, path);

    const std::optional<QStringList> parsed = LaunchCommand::execArguments(LaunchCommand::execValue(path));
    QVERIFY(parsed);
    QCOMPARE(*parsed, QStringList(path));
    QVERIFY(LaunchCommand::runValueNames(LaunchCommand::runValue(path), path));
}

QTEST_GUILESS_MAIN(tst_LaunchCommand)
#include "tst_launchcommand.moc"
