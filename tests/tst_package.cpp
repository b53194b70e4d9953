#include "platform/ChannelNames.h"
#include "support/Command.h"
#include "support/TestFiles.h"
#include "support/XProbe.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTest>

#include <unistd.h>

namespace {

// apt-get waits for another package manager to finish rather than failing at once.
const QString AptGet = QStringLiteral("apt-get -y -q -o DPkg::Lock::Timeout=120 ");

} // namespace

// The Debian package as a user installs it with apt-get: its files where the desktop looks for
// them, the installed program taking a report from the installed sender, and nothing left once the
// package is purged. It changes the machine, so CTest runs it alone; a lumivane package installed
// before is gone afterwards too.
class tst_Package : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void installedFile_data();
    void installedFile();
    void programRuns();
    void purgeLeavesNothing();
    void cleanupTestCase();

private:
    // The package's files, as dpkg lists them once it is installed.
    QStringList files;
};

void tst_Package::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("installing a package needs root");
    qputenv("DEBIAN_FRONTEND", "noninteractive");
    QByteArray output;
    QCOMPARE(
        runCommand(AptGet + QStringLiteral("install --no-install-recommends " LUMIVANE_PACKAGE), &output), 0);
    QCOMPARE(runCommand(QStringLiteral("dpkg -L lumivane"), &output), 0);
    for (const QByteArray &line : output.split('\n')) {
        if (QFileInfo(QString::fromUtf8(line)).isFile())
            files.append(QString::fromUtf8(line));
    }
    // A development aid, never installed.
    QVERIFY2(!output.contains("gattlink"), output.constData());
}

void tst_Package::installedFile_data()
{
    QTest::addColumn<QString>("path");
    // Text the file holds, if it matters.
    QTest::addColumn<QByteArray>("content");
    // The edge of an icon, 0 for other files.
    QTest::addColumn<int>("iconSize");
    // A command that finds the file and prints its path, if there is one.
    QTest::addColumn<QString>("lookup");

    QTest::newRow("program") << QStringLiteral("/usr/bin/lumivane") << QByteArray() << 0 << QString();
    QTest::newRow("sender") << QStringLiteral("/usr/bin/lumivane-send") << QByteArray() << 0 << QString();
    QTest::newRow("desktop entry") << QStringLiteral("/usr/share/applications/lumivane.desktop")
                                   << QByteArray("\nIcon=lumivane\n") << 0 << QString();
    QTest::newRow("metainfo") << QStringLiteral("/usr/share/metainfo/org.lumivane.Overlay.metainfo.xml")
                              << QByteArray("<launchable type=\"desktop-id\">lumivane.desktop</launchable>")
                              << 0 << QString();
    QTest::newRow("D-Bus service") << QStringLiteral(
                                          "/usr/share/dbus-1/services/org.lumivane.Overlay.service")
                                   << QByteArray("\nExec=/usr/bin/lumivane\n") << 0 << QString();
    for (const char *page : {"lumivane", "lumivane-send"}) {
        QTest::newRow(page) << QStringLiteral("/usr/share/man/man1/%1.1.gz").arg(QLatin1String(page))
                            << QByteArray() << 0 << QStringLiteral("man -w %1").arg(QLatin1String(page));
    }
    QTest::newRow("copyright") << QStringLiteral("/usr/share/doc/lumivane/copyright")
                               << QByteArray("License:") << 0 << QString();
    QTest::newRow("changelog") << QStringLiteral("/usr/share/doc/lumivane/changelog.gz") << QByteArray() << 0
                               << QString();
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        for (const char *icon : {"lumivane", "lumivane-tray"}) {
            QTest::addRow("%s %d", icon, size) << QStringLiteral("/usr/share/icons/hicolor/%1x%1/apps/%2.png")
                                                      .arg(size)
                                                      .arg(QLatin1String(icon))
                                               << QByteArray() << size << QString();
        }
    }
}

void tst_Package::installedFile()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, content);
    QFETCH(int, iconSize);
    QFETCH(QString, lookup);
    QVERIFY2(files.contains(path), qPrintable(files.join(QLatin1Char('\n'))));
    QVERIFY(TestFiles::readAll(path).contains(content));
    if (iconSize)
        QCOMPARE(QImage(path).size(), QSize(iconSize, iconSize));
    if (!lookup.isEmpty()) {
        QByteArray output;
        QCOMPARE(runCommand(lookup, &output), 0);
        QCOMPARE(output.trimmed(), path.toUtf8());
    }
}

void tst_Package::programRuns()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral("/usr/bin/lumivane"), QStringList());
    XProbe probe;
    QTRY_VERIFY_WITH_TIMEOUT(probe.selectionOwner(ChannelNames::Report) != XCB_WINDOW_NONE, 30000);
    QCOMPARE(runCommand(QStringLiteral("/usr/bin/lumivane-send --via x11 2 255 0 0")), 0);
    QByteArray log;
    QTRY_VERIFY2(
        (log += program.readAllStandardError()).contains("mode: 2 ,R: 255 ,G: 0 ,B: 0"), log.constData());
    program.terminate();
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 0);
}

void tst_Package::purgeLeavesNothing()
{
    QCOMPARE(runCommand(AptGet + QStringLiteral("purge lumivane")), 0);
    for (const QString &path : qAsConst(files))
        QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/usr/share/doc/lumivane")));
    QVERIFY(runCommand(QStringLiteral("dpkg -s lumivane")) != 0);
}

void tst_Package::cleanupTestCase()
{
    // After a failure above, the machine is left without the package all the same.
    if (::geteuid() == 0 && runCommand(QStringLiteral("dpkg -s lumivane")) == 0)
        runCommand(AptGet + QStringLiteral("purge lumivane"));
}

QTEST_MAIN(tst_Package)
#include "tst_package.moc"
