#include "channel/ChannelNames.h"
#include "support/OverlayProcess.h"
#include "support/XProbe.h"

#include <QtTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>

namespace {

constexpr int ReportTimeoutMs = 30000;
const QList<QByteArray> OpeningLines = {"mode: 1 ,R: 0 ,G: 0 ,B: 0", "mode: 1 ,R: 255 ,G: 64 ,B: 0"};

// Whether the process has ended, without reaping it.
bool hasEnded(pid_t pid)
{
    siginfo_t info = {};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid;
}

} // namespace

// The companion simulator against a real overlay: it plays its tour and does not outlive the
// process that started it, nor the overlay.
class tst_GattlinkSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void playsAsCompanion();
    void endsWithItsParent();
    void endsWhenOverlayIsGone();
};

void tst_GattlinkSim::initTestCase()
{
    // Orphans come to this process instead of init, so that the test can see them end.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
}

void tst_GattlinkSim::playsAsCompanion()
{
    // Placed beside the program under the companion's name, as the run script does; it tells
    // its process id first.
    OverlayProcess overlay;
    QVERIFY(overlay.addCompanion("echo $$ > \"$0.pid\"; exec \"" GATTLINK_SIM "\"\n"));
    QVERIFY(overlay.start());
    const xcb_window_t window = XProbe().selectionOwner(ChannelNames::Report);
    QTRY_VERIFY_WITH_TIMEOUT(overlay.wroteLines(OpeningLines), ReportTimeoutMs);
    XProbe probe;
    QVERIFY(probe.isViewable(window));

    QFile pidFile(overlay.folderPath() + QStringLiteral("/gattlink.pid"));
    QVERIFY(pidFile.open(QIODevice::ReadOnly));
    bool ok = false;
    const pid_t simulator = static_cast<pid_t>(pidFile.readAll().trimmed().toInt(&ok));
    QVERIFY(ok);

    // An overlay that dies without cleaning up takes its companion with it.
    overlay.process.kill();
    QVERIFY(overlay.process.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(hasEnded(simulator), ReportTimeoutMs);
    QCOMPARE(::waitpid(simulator, nullptr, 0), simulator);
}

void tst_GattlinkSim::endsWithItsParent()
{
    OverlayProcess overlay;
    QVERIFY(overlay.start());
    const xcb_window_t window = XProbe().selectionOwner(ChannelNames::Report);

    // A shell starts the simulator and tells its process id, as an overlay would be its parent.
    QProcess parent;
    parent.start(QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("\"$0\" & echo $!; wait"), QStringLiteral(GATTLINK_SIM)});
    QVERIFY(parent.waitForReadyRead(ReportTimeoutMs));
    bool ok = false;
    const pid_t simulator = static_cast<pid_t>(parent.readLine().trimmed().toInt(&ok));
    QVERIFY(ok);

    QTRY_VERIFY_WITH_TIMEOUT(overlay.wroteLines(OpeningLines), ReportTimeoutMs);
    XProbe probe;
    QVERIFY(probe.isViewable(window));

    parent.kill();
    QVERIFY(parent.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(hasEnded(simulator), ReportTimeoutMs);
    int status = 0;
    QCOMPARE(::waitpid(simulator, &status, 0), simulator);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY(overlay.stop());
}

void tst_GattlinkSim::endsWhenOverlayIsGone()
{
    OverlayProcess overlay;
    QVERIFY(overlay.start());
    QProcess simulator;
    simulator.start(QStringLiteral(GATTLINK_SIM), QStringList());
    QVERIFY(simulator.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(overlay.wroteLines({OpeningLines.first()}), ReportTimeoutMs);

    QVERIFY(overlay.stop());
    // It gives the overlay ten seconds to come back.
    QTRY_COMPARE_WITH_TIMEOUT(simulator.state(), QProcess::NotRunning, 60000);
    QCOMPARE(simulator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(simulator.exitCode(), 0);
    const QByteArray said = simulator.readAllStandardError();
    QVERIFY2(said.contains("no overlay is running"), said.constData());
}

QTEST_GUILESS_MAIN(tst_GattlinkSim)
#include "tst_gattlinksim.moc"
