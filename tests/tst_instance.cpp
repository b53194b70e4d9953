#include "platform/ChannelNames.h"
#include "platform/ModeReport.h"
#include "support/XProbe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

#include <sys/stat.h>

// Starts the real program as separate processes on this test's own X server and TMPDIR, where
// the instance marker lives.
class tst_Instance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void secondStartExits();
    void unknownOption_data();
    void unknownOption();
    void terminationReleasesMarker_data();
    void terminationReleasesMarker();
    void killedInstanceLeavesNoMarker_data();
    void killedInstanceLeavesNoMarker();
    void unusableTempDirKeepsOneInstance_data();
    void unusableTempDirKeepsOneInstance();

private:
    QProcess *start(const QStringList &arguments = {},
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    // True once the process has passed the instance check and begun building its window, which
    // writes the screen size to the debug log.
    static bool isRunning(QProcess *process);
    // The marker's file in this test's TMPDIR, from which the segment's key is made.
    static QStringList markerFiles();
    static ino_t fileNumber(const QString &path);
    QList<QProcess *> processes;
};

QProcess *tst_Instance::start(const QStringList &arguments, const QProcessEnvironment &environment)
{
    auto *process = new QProcess(this);
    process->setProcessEnvironment(environment);
    process->setProgram(QStringLiteral(LUMIVANE_EXECUTABLE));
    process->setArguments(arguments);
    process->setReadChannel(QProcess::StandardError);
    process->start();
    processes.append(process);
    return process;
}

bool tst_Instance::isRunning(QProcess *process)
{
    // Only the screen width counts: a warning printed before the instance check must not.
    static const QRegularExpression screenWidth(
        QStringLiteral("^\\d+$"), QRegularExpression::MultilineOption);
    process->waitForReadyRead(50);
    return process->state() == QProcess::Running &&
        screenWidth.match(QString::fromLocal8Bit(process->peek(4096))).hasMatch();
}

QStringList tst_Instance::markerFiles()
{
    return QDir::temp().entryList({QStringLiteral("qipc_sharedmemory_flag*")}, QDir::Files);
}

ino_t tst_Instance::fileNumber(const QString &path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

void tst_Instance::cleanup()
{
    for (QProcess *process : qAsConst(processes)) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(10000))
                process->kill();
            process->waitForFinished(5000);
        }
    }
    qDeleteAll(processes);
    processes.clear();
}

void tst_Instance::secondStartExits()
{
    QProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), 20000);
    for (const QStringList &arguments : {QStringList(), QStringList {QStringLiteral("-s")}}) {
        QProcess *second = start(arguments);
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(second->readAllStandardError().isEmpty());
    }
    QCOMPARE(first->state(), QProcess::Running);
}

void tst_Instance::unknownOption_data()
{
    QTest::addColumn<bool>("instanceRunning");
    QTest::newRow("alone") << false;
    QTest::newRow("beside a running instance") << true;
}

void tst_Instance::unknownOption()
{
    QFETCH(bool, instanceRunning);
    if (instanceRunning) {
        QProcess *first = start();
        QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), 20000);
    }
    QProcess *process = start({QStringLiteral("-x")});
    QVERIFY(process->waitForFinished(20000));
    QCOMPARE(process->exitCode(), 1);
    QVERIFY(process->readAllStandardError().contains("Unknown option 'x'"));
}

void tst_Instance::terminationReleasesMarker_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("secondSignal");
    QTest::addColumn<int>("reports");
    QTest::newRow("SIGTERM") << SIGTERM << 0 << 0;
    QTest::newRow("SIGINT") << SIGINT << 0 << 0;
    QTest::newRow("SIGHUP") << SIGHUP << 0 << 0;
    // More requests while the first is carried out change nothing.
    QTest::newRow("SIGHUP, then SIGHUP every 1 ms") << SIGHUP << SIGHUP << 0;
    QTest::newRow("SIGTERM, then SIGTERM every 1 ms") << SIGTERM << SIGTERM << 0;
    // Reports queued behind the signal are dropped, not played first.
    QTest::newRow("SIGTERM during a flood") << SIGTERM << 0 << 100000;
}

void tst_Instance::terminationReleasesMarker()
{
    QFETCH(int, signalNumber);
    QFETCH(int, secondSignal);
    QFETCH(int, reports);
    QProcess *first = start({QStringLiteral("-s")});
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), 20000);
    if (reports > 0) {
        XProbe probe;
        QTRY_VERIFY_WITH_TIMEOUT(probe.selectionOwner(ChannelNames::Report) != XCB_WINDOW_NONE, 20000);
        const xcb_window_t overlay = probe.selectionOwner(ChannelNames::Report);
        // Nothing reads the program's debug lines meanwhile, so most reports stay queued.
        for (int i = 0; i < reports; ++i)
            probe.sendClientMessage(
                overlay, ChannelNames::Report, 32, ModeReport {quint8(i % 4), 0, 0, 0}.encode());
    }
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    QCOMPARE(::kill(pid_t(first->processId()), signalNumber), 0);
    // A second signal is repeated every millisecond until the process has ended, so that it
    // meets every part of the clean-up.
    while (!first->waitForFinished(secondSignal != 0 ? 1 : 60000)) {
        QVERIFY(secondSignal != 0);
        QCOMPARE(::kill(pid_t(first->processId()), secondSignal), 0);
    }
    if (reports > 0) {
        qInfo("From SIGTERM to exit with %d reports queued: %lld ms", reports, sinceSignal.elapsed());
        QVERIFY(first->readAllStandardError().count("mode:") < reports);
    }
    // Ended through the event loop: a normal exit with the loop's status.
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(first->exitCode(), 0);

    QProcess *next = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(next), 20000);
}

void tst_Instance::killedInstanceLeavesNoMarker_data()
{
    QTest::addColumn<bool>("fileRemoved");
    QTest::newRow("marker file left") << false;
    // Removed by a cleaner: the next start's new file can get the same number from the file
    // system, and with it the abandoned segment's key.
    QTest::newRow("marker file removed") << true;
}

void tst_Instance::killedInstanceLeavesNoMarker()
{
    QFETCH(bool, fileRemoved);
    QProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), 20000);
    first->kill();
    QVERIFY(first->waitForFinished(20000));
    QCOMPARE(first->exitStatus(), QProcess::CrashExit);

    if (fileRemoved) {
        const QStringList files = markerFiles();
        QCOMPARE(files.size(), 1);
        const QString file = QDir::temp().filePath(files.first());
        const ino_t abandonedNumber = fileNumber(file);
        QVERIFY(QFile::remove(file));
        // Whether a file made there now gets the removed file's number, as the next start's will.
        QFile probe(file);
        QVERIFY(probe.open(QIODevice::WriteOnly));
        probe.close();
        const bool numberReused = fileNumber(file) == abandonedNumber;
        QVERIFY(QFile::remove(file));
        if (!numberReused)
            QSKIP("This file system gives a new file another number, and so another key");
    }

    QProcess *next = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(next), 20000);
    // And the new instance guards again.
    QProcess *third = start();
    QVERIFY(third->waitForFinished(20000));
    QCOMPARE(third->exitCode(), 0);
    QCOMPARE(next->state(), QProcess::Running);
}

void tst_Instance::unusableTempDirKeepsOneInstance_data()
{
    QTest::addColumn<QString>("tempDir");
    QTest::newRow("missing") << QDir::temp().filePath(QStringLiteral("missing/tmp"));
    // Refuses new files even to root, as which these tests may run.
    QTest::newRow("read-only") << QStringLiteral("/proc");
    QTest::newRow("a regular file") << QDir::temp().filePath(QStringLiteral("plain-file"));
}

void tst_Instance::unusableTempDirKeepsOneInstance()
{
    QFETCH(QString, tempDir);
    if (tempDir.endsWith(QLatin1String("plain-file"))) {
        QFile file(tempDir);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), tempDir);

    QProcess *first = start({}, environment);
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), 20000);
    XProbe probe;
    QTRY_VERIFY_WITH_TIMEOUT(probe.selectionOwner(ChannelNames::Report) != XCB_WINDOW_NONE, 20000);
    const xcb_window_t owner = probe.selectionOwner(ChannelNames::Report);

    QProcess *second = start({QStringLiteral("-s")}, environment);
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(probe.selectionOwner(ChannelNames::Report), owner);
    QCOMPARE(first->state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(tst_Instance)
#include "tst_instance.moc"
