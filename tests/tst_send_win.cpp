#include "channel/ChannelNames.h"
#include "support/OverlayOf_win.h"
#include "support/OverlayProcess.h"

#include <QSharedMemory>
#include <QTest>

#include <windows.h>

// The sender, run as its own process, reaches the running program's overlay.
class tst_SendWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noOverlay_data();
    void noOverlay();
    void reportReachesOverlay();
};

void tst_SendWin::noOverlay_data()
{
    QTest::addColumn<bool>("strangersMarker");
    QTest::newRow("nothing") << false;
    // The marker's key is a common word: another program may hold a segment of that name.
    QTest::newRow("a stranger's marker") << true;
}

void tst_SendWin::noOverlay()
{
    QFETCH(bool, strangersMarker);
    QSharedMemory stranger(QLatin1String(ChannelNames::InstanceMarker));
    if (strangersMarker)
        QVERIFY2(stranger.create(1), qPrintable(stranger.errorString()));
    QCOMPARE(
        runSender({QStringLiteral("2"), QStringLiteral("255"), QStringLiteral("0"), QStringLiteral("0")}), 3);
}

void tst_SendWin::reportReachesOverlay()
{
    // The program runs from a folder of its own: a companion beside it would be started and could
    // send reports of its own.
    OverlayProcess program;
    QVERIFY(program.start());
    const HWND overlay = overlayOf(program.process.processId());
    QVERIFY(!IsWindowVisible(overlay));
    QCOMPARE(
        runSender({QStringLiteral("2"), QStringLiteral("255"), QStringLiteral("0"), QStringLiteral("0")}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(program.wroteLines({"mode: 2 ,R: 255 ,G: 0 ,B: 0"}), 30000);
    QCOMPARE(program.errorOutput().count("mode:"), 1);
    QTRY_VERIFY_WITH_TIMEOUT(IsWindowVisible(overlay), 30000);
    QCOMPARE(program.process.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(tst_SendWin)
#include "tst_send_win.moc"
