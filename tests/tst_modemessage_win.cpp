#include "platform/ChannelNames.h"
#include "support/OverlayOf_win.h"

#include <QProcess>
#include <QTest>

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
    // Waits until the program's debug log holds the given text; returns all it logged meanwhile.
    QString waitForLog(const QString &text);
    QProcess *program = nullptr;
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
    program = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    program->setProcessEnvironment(environment);
    program->setReadChannel(QProcess::StandardError);
    program->setProgram(QStringLiteral(LUMIVANE_EXECUTABLE));
    program->start();
    // Started without -s: the overlay's native window exists, hidden, once start-up is done.
    QTRY_VERIFY_WITH_TIMEOUT((overlay = overlayOf(program->processId())) != nullptr, 30000);
    QVERIFY(!IsWindowVisible(overlay));
}

void tst_ModeMessageWin::cleanup()
{
    program->kill();
    program->waitForFinished(10000);
    delete program;
}

QString tst_ModeMessageWin::waitForLog(const QString &text)
{
    QString log;
    const auto arrived = [this, &log, &text] {
        program->waitForReadyRead(50);
        // Standard error is in text mode: lines end in "\r\n".
        log += QString::fromLocal8Bit(program->readAllStandardError()).remove(QLatin1Char('\r'));
        return log.contains(text);
    };
    [&] { QTRY_VERIFY_WITH_TIMEOUT(arrived(), 20000); }();
    return log;
}

void tst_ModeMessageWin::broadcastReachesHiddenOverlay_data()
{
    QTest::addColumn<WPARAM>("wParam");
    QTest::addColumn<LPARAM>("lParam");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("shown");
    QTest::newRow("mode 2, red") << WPARAM(0x02FF0000) << LPARAM(0)
                                 << QStringLiteral("mode: 2 ,R: 255 ,G: 0 ,B: 0") << true;
    QTest::newRow("mode 1, colour bytes")
        << WPARAM(0x01123456) << LPARAM(0) << QStringLiteral("mode: 1 ,R: 18 ,G: 52 ,B: 86") << true;
    // Only the low 32 bits of the 64-bit wParam are the report; lParam is not read.
    QTest::newRow("high bits and lParam ignored")
        << WPARAM(0x7700000003000000ull) << LPARAM(-1) << QStringLiteral("mode: 3 ,R: 0 ,G: 0 ,B: 0") << true;
    // Logged, but not a mode the display knows.
    QTest::newRow("mode 255") << WPARAM(0xFF010203u) << LPARAM(0)
                              << QStringLiteral("mode: 255 ,R: 1 ,G: 2 ,B: 3") << false;
}

void tst_ModeMessageWin::broadcastReachesHiddenOverlay()
{
    QFETCH(WPARAM, wParam);
    QFETCH(LPARAM, lParam);
    QFETCH(QString, line);
    QFETCH(bool, shown);
    QVERIFY(PostMessageW(HWND_BROADCAST, message, wParam, lParam));
    const QString log = waitForLog(line + QLatin1Char('\n'));
    QCOMPARE(log.count(QStringLiteral("mode:")), 1);
    if (shown)
        QTRY_VERIFY_WITH_TIMEOUT(IsWindowVisible(overlay), 20000);
    else
        QVERIFY(!IsWindowVisible(overlay));
    QCOMPARE(program->state(), QProcess::Running);
}

void tst_ModeMessageWin::otherMessagesAreNotReports()
{
    const UINT other = RegisterWindowMessageA("WM_LUMIVANE_MESSAGE_OTHER");
    QVERIFY(other != message);
    QVERIFY(PostMessageW(HWND_BROADCAST, other, WPARAM(0x02FF0000), 0));
    // Posted messages arrive in order: once this report is logged, the other had its turn.
    QVERIFY(PostMessageW(HWND_BROADCAST, message, WPARAM(0xFF000000u), 0));
    const QString log = waitForLog(QStringLiteral("mode: 255 "));
    QCOMPARE(log.count(QStringLiteral("mode:")), 1);
    QVERIFY(!IsWindowVisible(overlay));
}

QTEST_GUILESS_MAIN(tst_ModeMessageWin)
#include "tst_modemessage_win.moc"
