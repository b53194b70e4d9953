#include "channel/ChannelNames.h"
#include "support/OverlayOf_win.h"
#include "support/OverlayProcess.h"

#include <QTest>

#include <memory>

#include <windows.h>

// Reports from another process reach the running program's hidden overlay as a registered window
// message broadcast to all top-level windows, the way the companion sends them.
class tst_ModeMessageWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void broadcastReachesHiddenOverlay_data();
    void broadcastReachesHiddenOverlay();
    void otherMessagesAreNotReports();

private:
    std::unique_ptr<OverlayProcess> program;
    HWND overlay = nullptr;
    UINT message = 0;
};

void tst_ModeMessageWin::initTestCase()
{
    message = RegisterWindowMessageA(ChannelNames::Report);
    QVERIFY(message >= 0xC000);
}

void tst_ModeMessageWin::init()
{
    program = std::make_unique<OverlayProcess>();
    // Started without -s: the overlay's native window exists, hidden, once start-up is done.
    QVERIFY(program->start());
    overlay = overlayOf(program->process.processId());
    QVERIFY(!IsWindowVisible(overlay));
}

void tst_ModeMessageWin::cleanup()
{
    program.reset();
}

void tst_ModeMessageWin::broadcastReachesHiddenOverlay_data()
{
    QTest::addColumn<WPARAM>("wParam");
    QTest::addColumn<LPARAM>("lParam");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("shown");
    QTest::newRow("mode 2, red") << WPARAM(0x02FF0000) << LPARAM(0)
                                 << QByteArray("mode: 2 ,R: 255 ,G: 0 ,B: 0") << true;
    QTest::newRow("mode 1, colour bytes")
        << WPARAM(0x01123456) << LPARAM(0) << QByteArray("mode: 1 ,R: 18 ,G: 52 ,B: 86") << true;
    // Only the low 32 bits of the 64-bit wParam are the report; lParam is not read.
    QTest::newRow("high bits and lParam ignored")
        << WPARAM(0x7700000003000000ull) << LPARAM(-1) << QByteArray("mode: 3 ,R: 0 ,G: 0 ,B: 0") << true;
    // Logged, but not a mode the display knows.
    QTest::newRow("mode 255") << WPARAM(0xFF010203u) << LPARAM(0) << QByteArray("mode: 255 ,R: 1 ,G: 2 ,B: 3")
                              << false;
}

void tst_ModeMessageWin::broadcastReachesHiddenOverlay()
{
    QFETCH(WPARAM, wParam);
    QFETCH(LPARAM, lParam);
    QFETCH(QByteArray, line);
    QFETCH(bool, shown);
    QVERIFY(PostMessageW(HWND_BROADCAST, message, wParam, lParam));
    QTRY_VERIFY_WITH_TIMEOUT(program->wroteLines({line}), 20000);
    QCOMPARE(program->errorOutput().count("mode:"), 1);
    if (shown)
        QTRY_VERIFY_WITH_TIMEOUT(IsWindowVisible(overlay), 20000);
    else
        QVERIFY(!IsWindowVisible(overlay));
    QCOMPARE(program->process.state(), QProcess::Running);
}

void tst_ModeMessageWin::otherMessagesAreNotReports()
{
    const UINT other = RegisterWindowMessageA(QByteArray(ChannelNames::Report).append("_OTHER").constData());
    QVERIFY(other != message);
    QVERIFY(PostMessageW(HWND_BROADCAST, other, WPARAM(0x02FF0000), 0));
    // Posted messages arrive in order: once this report is logged, the other had its turn.
    QVERIFY(PostMessageW(HWND_BROADCAST, message, WPARAM(0xFF000000u), 0));
    QTRY_VERIFY_WITH_TIMEOUT(program->wroteLines({"mode: 255 ,R: 0 ,G: 0 ,B: 0"}), 20000);
    QCOMPARE(program->errorOutput().count("mode:"), 1);
    QVERIFY(!IsWindowVisible(overlay));
}

QTEST_GUILESS_MAIN(tst_ModeMessageWin)
#include "tst_modemessage_win.moc"
