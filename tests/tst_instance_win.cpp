#include "platform/ChannelNames.h"

#include <QProcess>
#include <QSharedMemory>
#include <QTest>

// The single-instance guard between real Windows processes: the marker is a named file mapping,
// which Windows removes with the last handle, also when its process is terminated.
class tst_InstanceWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void secondStartExits();
    void unknownOption_data();
    void unknownOption();
    void terminatedInstanceLeavesNoMarker();

private:
    QProcess *start(const QStringList &arguments = {});
    // True once the process has passed the instance check and built its window, which writes
    // the screen size to the debug log.
    static bool isRunning(QProcess *process);
    // Whether any process holds the marker, asked the way a starting instance asks.
    static bool markerHeld();
    QList<QProcess *> processes;
};

QProcess *tst_InstanceWin::start(const QStringList &arguments)
{
    auto *process = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A GUI program's debug log goes to the debugger unless told to use standard error.
    environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    process->setProcessEnvironment(environment);
    process->setReadChannel(QProcess::StandardError);
    process->setProgram(QStringLiteral(LUMIVANE_EXECUTABLE));
    process->setArguments(arguments);
    process->start();
    processes.append(process);
    return process;
}

bool tst_InstanceWin::isRunning(QProcess *process)
{
    process->waitForReadyRead(50);
    return process->state() == QProcess::Running && process->peek(4096).contains('\n');
}

bool tst_InstanceWin::markerHeld()
{
    QSharedMemory probe(QLatin1String(ChannelNames::InstanceMarker));
    if (!probe.attach())
        return false;
    probe.detach();
    return true;
}

void tst_InstanceWin::cleanup()
{
    for (QProcess *process : qAsConst(processes)) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(10000);
        }
    }
    qDeleteAll(processes);
    processes.clear();
    QVERIFY(!markerHeld());
}

void tst_InstanceWin::secondStartExits()
{
    QVERIFY(!markerHeld());
    QProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), 30000);
    QVERIFY(markerHeld());
    for (const QStringList &arguments : {QStringList(), QStringList {QStringLiteral("-s")}}) {
        QProcess *second = start(arguments);
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        // It stopped before building a window, so it logged nothing.
        QVERIFY(second->readAllStandardError().isEmpty());
    }
    QCOMPARE(first->state(), QProcess::Running);
}

void tst_InstanceWin::unknownOption_data()
{
    QTest::addColumn<bool>("instanceRunning");
    QTest::newRow("alone") << false;
    QTest::newRow("beside a running instance") << true;
}

void tst_InstanceWin::unknownOption()
{
    QFETCH(bool, instanceRunning);
    if (instanceRunning) {
        QProcess *first = start();
        QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), 30000);
    }
    // Started with redirected channels, the parser prints its error instead of showing a
    // message box that would wait for a click.
    QProcess *process = start({QStringLiteral("-x")});
    QVERIFY(process->waitForFinished(30000));
    QCOMPARE(process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(process->exitCode(), 1);
    QVERIFY(process->readAllStandardError().contains("Unknown option 'x'"));
    QCOMPARE(markerHeld(), instanceRunning);
}

void tst_InstanceWin::terminatedInstanceLeavesNoMarker()
{
    QProcess *first = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(first), 30000);
    first->kill();
    QVERIFY(first->waitForFinished(30000));
    QCOMPARE(first->exitStatus(), QProcess::CrashExit);
    QTRY_VERIFY_WITH_TIMEOUT(!markerHeld(), 10000);

    QProcess *next = start();
    QTRY_VERIFY_WITH_TIMEOUT(isRunning(next), 30000);
    QProcess *third = start();
    QVERIFY(third->waitForFinished(30000));
    QCOMPARE(third->exitCode(), 0);
    QCOMPARE(next->state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(tst_InstanceWin)
#include "tst_instance_win.moc"
