#include "platform/LaunchCommand.h"

#include <QTest>

#include <initializer_list>

namespace {

QStringList args(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list << QString::fromUtf8(text);
    return list;
}

} // namespace

// The text forms of the command that starts the program at logon: the Windows Run value and the
// Exec key of a desktop entry, written and read back.
class tst_LaunchCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runValue_data();
    void runValue();
    void runValueNames_data();
    void runValueNames();
    void execValue_data();
    void execValue();
    void execArguments_data();
    void execArguments();
    void roundTrip_data();
    void roundTrip();
};

void tst_LaunchCommand::runValue_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("stored");

    QTest::newRow("plain") << R"(C:\Lumivane\lumivane.exe)"
                           << R"(C:\Lumivane\lumivane.exe)";
    QTest::newRow("blank in folder") << R"(C:\Program Files\Lumivane\lumivane.exe)"
                                     << R"("C:\Program Files\Lumivane\lumivane.exe")";
    QTest::newRow("blank in name") << R"(C:\Tools\lumi vane.exe)"
                                   << R"("C:\Tools\lumi vane.exe")";
    QTest::newRow("parentheses only") << R"(C:\Tools(x86)\lumivane.exe)"
                                      << R"(C:\Tools(x86)\lumivane.exe)";
}

void tst_LaunchCommand::runValue()
{
    QFETCH(QString, path);
    QFETCH(QString, stored);
    QCOMPARE(LaunchCommand::runValue(path), stored);
}

void tst_LaunchCommand::runValueNames_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("names");

    const QString plain = QStringLiteral(R"(C:\Lumivane\lumivane.exe)");
    const QString blank = QStringLiteral(R"(C:\Program Files\Lumivane\lumivane.exe)");

    QTest::newRow("bare") << QVariant(plain) << plain << true;
    QTest::newRow("quoted, with blank")
        << QVariant(QStringLiteral(R"("C:\Program Files\Lumivane\lumivane.exe")")) << blank << true;
    QTest::newRow("bare, with blank (written before)") << QVariant(blank) << blank << true;
    QTest::newRow("quoted, without blank")
        << QVariant(QStringLiteral(R"("C:\Lumivane\lumivane.exe")")) << plain << true;
    QTest::newRow("absent") << QVariant() << plain << false;
    QTest::newRow("empty") << QVariant(QString()) << plain << false;
    QTest::newRow("other case") << QVariant(QStringLiteral(R"(c:\lumivane\Lumivane.exe)")) << plain << false;
    QTest::newRow("forward slashes") << QVariant(QStringLiteral("C:/Lumivane/lumivane.exe")) << plain
                                     << false;
    QTest::newRow("mixed slashes") << QVariant(QStringLiteral(R"(C:\Lumivane/lumivane.exe)")) << plain
                                   << false;
    QTest::newRow("other folder") << QVariant(QStringLiteral(R"(D:\Lumivane\lumivane.exe)")) << plain
                                  << false;
    QTest::newRow("with option") << QVariant(QStringLiteral(R"(C:\Lumivane\lumivane.exe -s)")) << plain
                                 << false;
    QTest::newRow("trailing blank") << QVariant(QStringLiteral(R"(C:\Lumivane\lumivane.exe )")) << plain
                                    << false;
    QTest::newRow("opening quote only")
        << QVariant(QStringLiteral(R"("C:\Lumivane\lumivane.exe)")) << plain << false;
    QTest::newRow("single quotes") << QVariant(QStringLiteral(R"('C:\Lumivane\lumivane.exe')")) << plain
                                   << false;
    QTest::newRow("number") << QVariant(1) << plain << false;
    QTest::newRow("list") << QVariant(QStringList(plain)) << plain << false;
    QTest::newRow("empty path, empty value") << QVariant(QString()) << QString() << false;
    QTest::newRow("empty path, quotes") << QVariant(QStringLiteral(R"("")")) << QString() << false;
}

void tst_LaunchCommand::runValueNames()
{
    QFETCH(QVariant, value);
    QFETCH(QString, path);
    QFETCH(bool, names);
    QCOMPARE(LaunchCommand::runValueNames(value, path), names);
}

void tst_LaunchCommand::execValue_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("value");

    // The values as they stand in the file: string escapes on top of the quoting.
    QTest::newRow("plain") << "/usr/bin/lumivane"
                           << "/usr/bin/lumivane";
    QTest::newRow("non-ASCII") << "/opt/灯/lumivane"
                               << "/opt/灯/lumivane";
    QTest::newRow("equals and comma") << "/opt/a,b=c/lumivane"
                                      << "/opt/a,b=c/lumivane";
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
    QTest::newRow("backtick") << "/opt/a`b/lumivane"
                              << R"("/opt/a\\`b/lumivane")";
    QTest::newRow("single quote") << "/opt/it's/lumivane"
                                  << R"("/opt/it's/lumivane")";
    QTest::newRow("tilde") << "/opt/~x/lumivane"
                           << R"("/opt/~x/lumivane")";
    QTest::newRow("hash") << "/opt/#1/lumivane"
                          << R"("/opt/#1/lumivane")";
    QTest::newRow("parentheses") << "/opt/a(1)/lumivane"
                                 << R"("/opt/a(1)/lumivane")";
    QTest::newRow("tab") << "/opt/a\tb/lumivane"
                         << R"("/opt/a\tb/lumivane")";
    QTest::newRow("newline") << "/opt/a\nb/lumivane"
                             << R"("/opt/a\nb/lumivane")";
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
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("arguments");

    const QStringList none;
    QTest::newRow("plain") << "/usr/bin/lumivane" << true << args({"/usr/bin/lumivane"});
    QTest::newRow("with option") << "/usr/bin/lumivane -s" << true << args({"/usr/bin/lumivane", "-s"});
    QTest::newRow("extra blanks") << "  /usr/bin/lumivane   -s " << true << args({"/usr/bin/lumivane", "-s"});
    QTest::newRow("empty") << "" << true << none;
    QTest::newRow("quoted without need") << R"("/usr/bin/lumivane")" << true << args({"/usr/bin/lumivane"});
    QTest::newRow("unquoted blank splits")
        << "/opt/Lumi vane/lumivane" << true << args({"/opt/Lumi", "vane/lumivane"});
    QTest::newRow("empty quoted argument")
        << R"(/usr/bin/lumivane "")" << true << args({"/usr/bin/lumivane", ""});
    QTest::newRow("escaped dollar") << R"("/opt/\\$x")" << true << args({"/opt/$x"});
    QTest::newRow("single-backslash dollar") << R"("/opt/\$x")" << true << args({"/opt/$x"});
    QTest::newRow("escaped backslash") << R"("/opt/a\\\\b")" << true << args({R"(/opt/a\b)"});
    QTest::newRow("space escape") << R"("/opt/a\sb")" << true << args({"/opt/a b"});
    QTest::newRow("doubled percent") << "/opt/100%%" << true << args({"/opt/100%"});
    QTest::newRow("field code") << "/usr/bin/lumivane %U" << false << none;
    QTest::newRow("lone percent") << "/opt/100%" << false << none;
    QTest::newRow("unterminated quote") << R"("/opt/Lumi vane/lumivane)" << false << none;
    QTest::newRow("quote inside argument") << R"(/opt/a"b c")" << false << none;
    QTest::newRow("text after quote") << R"("/opt/a b"c)" << false << none;
    QTest::newRow("unescaped dollar in quotes") << R"("/opt/$x")" << false << none;
    QTest::newRow("unknown escape in quotes") << R"("/opt/\\q")" << false << none;
    QTest::newRow("reserved outside quotes") << "/opt/a;b" << false << none;
    QTest::newRow("backslash outside quotes") << R"(/opt/a\\b)" << false << none;
}

void tst_LaunchCommand::execArguments()
{
    QFETCH(QString, value);
    QFETCH(bool, valid);
    QFETCH(QStringList, arguments);

    const std::optional<QStringList> parsed = LaunchCommand::execArguments(value);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, arguments);
}

void tst_LaunchCommand::roundTrip_data()
{
    QTest::addColumn<QString>("path");

    const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    for (const QChar c : reserved)
        QTest::newRow(qPrintable(QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0'))))
            << QStringLiteral("/opt/a%1b/lumivane").arg(c);
    QTest::newRow("everything") << QStringLiteral("/opt/%1 100%% 灯/lumivane").arg(reserved);
    QTest::newRow("Windows path") << QStringLiteral(R"(C:\Program Files\Lumivane\lumivane.exe)");
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
