#include "companion/CompanionLocator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class tst_CompanionLocator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void locate_data();
    void locate();
    void realFiles();
};

namespace {

QStringList paths(std::initializer_list<const char *> list)
{
    QStringList result;
    for (const char *path : list)
        result << QLatin1String(path);
    return result;
}

// A leading '/' stands for the root of this system's file system ("C:/" on Windows).
QString onThisSystem(const QString &path)
{
    return path.startsWith(QLatin1Char('/')) ? QDir::rootPath() + path.mid(1) : path;
}

} // namespace

void tst_CompanionLocator::locate_data()
{
    QTest::addColumn<QString>("programDir");
    QTest::addColumn<QString>("searchPath");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QStringList>("programs");
    QTest::addColumn<QString>("expected");

    // Rows are written with ';' between entries and '/' for the root of the file system.
    const QChar semicolon(QLatin1Char(';'));
    QTest::newRow("beside the executable first")
        << QStringLiteral("/opt/lumivane") << QStringLiteral("/usr/bin;/usr/local/bin") << semicolon
        << paths({"/opt/lumivane/gattlink", "/usr/bin/gattlink"}) << QStringLiteral("/opt/lumivane/gattlink");
    QTest::newRow("first absolute PATH entry that has it")
        << QStringLiteral("/opt/lumivane") << QStringLiteral("/usr/bin;/usr/local/bin;/srv/bin") << semicolon
        << paths({"/usr/local/bin/gattlink", "/srv/bin/gattlink"})
        << QStringLiteral("/usr/local/bin/gattlink");
    QTest::newRow("empty entries are the current directory")
        << QStringLiteral("/opt/lumivane") << QStringLiteral(";/usr/bin;;") << semicolon
        << paths({"gattlink", "/gattlink", "/usr/bin/gattlink"}) << QStringLiteral("/usr/bin/gattlink");
    QTest::newRow("dot entries are the current directory")
        << QStringLiteral("/opt/lumivane") << QStringLiteral(".;./;/usr/bin") << semicolon
        << paths({"./gattlink", ".//gattlink", "/usr/bin/gattlink"}) << QStringLiteral("/usr/bin/gattlink");
    QTest::newRow("relative entries are skipped")
        << QStringLiteral("/opt/lumivane") << QStringLiteral("bin;../tools;/usr/bin") << semicolon
        << paths({"bin/gattlink", "../tools/gattlink", "/usr/bin/gattlink"})
        << QStringLiteral("/usr/bin/gattlink");
    QTest::newRow("found nowhere") << QStringLiteral("/opt/lumivane") << QStringLiteral("/usr/bin;/bin")
                                   << semicolon << QStringList() << QString();
    QTest::newRow("only relative entries have it")
        << QStringLiteral("/opt/lumivane") << QStringLiteral(";.;bin") << semicolon
        << paths({"gattlink", "./gattlink", "bin/gattlink"}) << QString();
    QTest::newRow("empty PATH") << QStringLiteral("/opt/lumivane") << QString() << semicolon
                                << paths({"gattlink"}) << QString();
    QTest::newRow("unknown executable directory")
        << QString() << QStringLiteral("/usr/bin") << semicolon << paths({"gattlink", "/usr/bin/gattlink"})
        << QStringLiteral("/usr/bin/gattlink");
    QTest::newRow("relative executable directory")
        << QStringLiteral("opt") << QStringLiteral("/usr/bin") << semicolon
        << paths({"opt/gattlink", "/usr/bin/gattlink"}) << QStringLiteral("/usr/bin/gattlink");
    QTest::newRow("trailing slash of an entry")
        << QStringLiteral("/opt/lumivane") << QStringLiteral("/usr/bin/") << semicolon
        << paths({"/usr/bin/gattlink"}) << QStringLiteral("/usr/bin/gattlink");
    QTest::newRow("colon-separated list")
        << QStringLiteral("/opt/lumivane") << QStringLiteral("::.:bin:/usr/bin") << QChar(QLatin1Char(':'))
        << paths({"gattlink", "./gattlink", "bin/gattlink", "/usr/bin/gattlink"})
        << QStringLiteral("/usr/bin/gattlink");
}

void tst_CompanionLocator::locate()
{
    QFETCH(QString, programDir);
    QFETCH(QString, searchPath);
    QFETCH(QChar, separator);
    QFETCH(QStringList, programs);
    QFETCH(QString, expected);
    if (separator == QLatin1Char(':') && QDir::rootPath().contains(separator))
        QSKIP("the root of this file system has a drive letter and a colon");
    programDir = onThisSystem(programDir);
    QStringList entries = searchPath.split(separator);
    for (QString &entry : entries)
        entry = onThisSystem(entry);
    searchPath = entries.join(separator);
    for (QString &program : programs)
        program = onThisSystem(program);
    expected = onThisSystem(expected);

    QStringList asked;
    const QSet<QString> present(programs.cbegin(), programs.cend());
    const QString found = CompanionLocator::locate(
        QStringLiteral("gattlink"), programDir, searchPath, separator, [&](const QString &path) {
            asked << path;
            return present.contains(path);
        });
    QCOMPARE(found, expected);
    // Nothing relative is even looked at.
    for (const QString &path : qAsConst(asked))
        QVERIFY2(QDir::isAbsolutePath(path), qPrintable(path));
}

void tst_CompanionLocator::realFiles()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString fileName = CompanionLocator::fileName();
    for (const char *dir : {"notExecutable", "directory", "executable"})
        QVERIFY(QDir(root.path()).mkpath(QLatin1String(dir)));

    QFile plain(root.filePath(QStringLiteral("notExecutable/")) + fileName);
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(QDir(root.filePath(QStringLiteral("directory"))).mkdir(fileName));
    QFile program(root.filePath(QStringLiteral("executable/")) + fileName);
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.close();
    QVERIFY(program.setPermissions(program.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser));

    // Windows tells executables by their name alone; elsewhere the permission counts.
    const bool permissionsCount = !QFileInfo(plain).isExecutable();
    const QChar separator = QDir::listSeparator();
    QString searchPath =
        root.filePath(QStringLiteral("directory")) + separator + root.filePath(QStringLiteral("executable"));
    if (permissionsCount)
        searchPath.prepend(root.filePath(QStringLiteral("notExecutable")) + separator);
    qputenv("PATH", searchPath.toLocal8Bit());
    QCOMPARE(CompanionLocator::find(), root.filePath(QStringLiteral("executable/")) + fileName);
    qputenv("PATH", root.filePath(QStringLiteral("directory")).toLocal8Bit());
    QCOMPARE(CompanionLocator::find(), QString());
    if (permissionsCount) {
        qputenv("PATH", root.filePath(QStringLiteral("notExecutable")).toLocal8Bit());
        QCOMPARE(CompanionLocator::find(), QString());
    }
}

QTEST_GUILESS_MAIN(tst_CompanionLocator)

#include "tst_companionlocator.moc"
