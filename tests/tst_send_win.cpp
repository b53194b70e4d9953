#include "support/OverlayOf_win.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <windows.h>

// The sender, run as its own process, reaches the running program's overlay.
namespace {

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
