#include "support/InstanceMarker.h"

#include <QDir>
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

private:
    QProcess *start(const QStringList &arguments = {});
    // True once the process has passed the instance check and begun building its window, which
    // writes the screen size to the debug log.
    static bool isRunning(QProcess *process);
    static ino_t fileNumber(const QString &path);
    QList<QProcess *> processes;
};

QProcess *tst_Instance::start(const QStringList &arguments)
{
    auto *process = new QProcess(this);
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
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void tst_Instance::terminationReleasesMarker()
{
    QFETCH(int, signalNumber);
    QProcess *first = start({QStringLiteral("-s")});
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), 20000);
    QCOMPARE(::kill(pid_t(first->processId()), signalNumber), 0);
    QVERIFY(first->waitForFinished(20000));
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
        const QStringList files = InstanceMarker::keyFiles();
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

QTEST_GUILESS_MAIN(tst_Instance)
#include "tst_instance.moc"
