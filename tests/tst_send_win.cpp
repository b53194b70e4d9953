#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <windows.h>

// The sender, run as its own process, reaches the running program's overlay.
namespace {

// The overlay of the given process: its top-level, topmost 176x176 tool window.
HWND overlayOf(qint64 processId)
{
    struct Search
    {
        DWORD processId;
        HWND found;
    } search {DWORD(processId), nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM parameter) -> BOOL {
            auto *search = reinterpret_cast<Search *>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
            RECT rect;
            if (owner != search->processId || !(exStyle & WS_EX_TOOLWINDOW) || !(exStyle & WS_EX_TOPMOST) ||
                !GetWindowRect(hwnd, &rect) || rect.right - rect.left != 176 || rect.bottom - rect.top != 176)
                return TRUE;
            search->found = hwnd;
            return FALSE;
        },
        LPARAM(&search));
    return search.found;
}

int runSender(const QStringList &arguments)
{
    QProcess sender;
    sender.start(QStringLiteral(LUMIVANE_SEND), arguments);
    if (!sender.waitForFinished(60000) || sender.exitStatus() != QProcess::NormalExit)
        return -1;
    return sender.exitCode();
}

} // namespace

class tst_SendWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void noOverlay();
    void reportReachesOverlay();
};

void tst_SendWin::initTestCase()
{
    // A companion beside the program would be started by it and could send reports of its own.
    const QString companion =
        QFileInfo(QStringLiteral(LUMIVANE_EXECUTABLE)).dir().filePath(QStringLiteral("gattlink.exe"));
    QVERIFY2(!QFile::exists(companion), qPrintable(companion));
}

void tst_SendWin::noOverlay()
{
    QCOMPARE(
        runSender({QStringLiteral("2"), QStringLiteral("255"), QStringLiteral("0"), QStringLiteral("0")}), 3);
}

void tst_SendWin::reportReachesOverlay()
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    program.setProcessEnvironment(environment);
    program.setReadChannel(QProcess::StandardError);
    program.start(QStringLiteral(LUMIVANE_EXECUTABLE), QStringList());
    // The program holds its instance marker before its window exists, and a report broadcast
    // before then would reach no one: the sender runs once the hidden overlay is there.
    HWND overlay = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((overlay = overlayOf(program.processId())) != nullptr, 30000);
    QVERIFY(!IsWindowVisible(overlay));
    QString log;
    const auto logged = [&program, &log](const QString &text) {
        program.waitForReadyRead(50);
        // Standard error is in text mode: lines end in "\r\n".
        log += QString::fromLocal8Bit(program.readAllStandardError()).remove(QLatin1Char('\r'));
        return log.contains(text);
    };
    QCOMPARE(
        runSender({QStringLiteral("2"), QStringLiteral("255"), QStringLiteral("0"), QStringLiteral("0")}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(logged(QStringLiteral("mode: 2 ,R: 255 ,G: 0 ,B: 0\n")), 30000);
    QCOMPARE(log.count(QStringLiteral("mode:")), 1);
    QTRY_VERIFY_WITH_TIMEOUT(IsWindowVisible(overlay), 30000);
    QCOMPARE(program.state(), QProcess::Running);
    program.kill();
    QVERIFY(program.waitForFinished(30000));
}

QTEST_GUILESS_MAIN(tst_SendWin)
#include "tst_send_win.moc"
