#include "companion/HidInterfaces_win.h"
#include "overlay/Lumivane.h"
#include "session/StartEnvironment.h"
#include "session/WarningLog.h"
#include "support/MessageCapture.h"
#include "support/OverlayProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

#include <dbt.h>

#include <cstring>
#include <string>
#include <vector>

// The overlay keeps its companion in step with the accessory's HID link: started beside the
// program at start-up, killed when the link goes and started again when it comes back, as Windows
// announces it with WM_DEVICECHANGE to the overlay's window.
namespace {

const wchar_t AccessoryName[] = L"\\\\?\\HID#{00001812-0000-1000-8000-00805f9b34fb}_Dev_VID&02abcd_PID&1234"
                                L"_REV&0001_c0ffee000001&Col01#a&1b2c3d4e&0&0000#"
                                L"{4d1e55b2-f16f-11cf-88cb-001111000030}";
// A Bluetooth LE mouse, named like the accessory.
const wchar_t MouseName[] = L"\\\\?\\HID#{00001812-0000-1000-8000-00805f9b34fb}_Dev_VID&02046d_PID&b023"
                            L"_REV&0004_d1e2f3a4b5c6&Col01#a&2c3d4e5f&0&0000#"
                            L"{4d1e55b2-f16f-11cf-88cb-001111000030}";
const wchar_t OtherCollectionName[] =
    L"\\\\?\\HID#{00001812-0000-1000-8000-00805f9b34fb}_Dev_VID&02abcd_PID&1234"
    L"_REV&0001_c0ffee000001&Col02#a&1b2c3d4e&0&0001#"
    L"{4d1e55b2-f16f-11cf-88cb-001111000030}";
const wchar_t UpperCaseServiceName[] =
    L"\\\\?\\HID#{00001812-0000-1000-8000-00805F9B34FB}_Dev_VID&02abcd_PID&1234"
    L"_REV&0001_c0ffee000001&Col01#a&1b2c3d4e&0&0000#"
    L"{4d1e55b2-f16f-11cf-88cb-001111000030}";

// A device-interface broadcast as Windows lays it out: the name runs past the declared struct.
std::vector<unsigned char> broadcastFor(const wchar_t *name)
{
    const size_t nameBytes = (wcslen(name) + 1) * sizeof(wchar_t);
    std::vector<unsigned char> bytes(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + nameBytes);
    auto *broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W *>(bytes.data());
    broadcast->dbcc_size = DWORD(bytes.size());
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(broadcast->dbcc_name, name, nameBytes);
    return bytes;
}

// The real overlay, with what its native hook answered for each device change.
class ProbedLumivane : public Lumivane
{
public:
    QList<bool> deviceChangeResults;

protected:
    bool nativeEvent(const QByteArray &eventType, void *message, NativeEventResult *result) override
    {
        const bool handled = Lumivane::nativeEvent(eventType, message, result);
        if (static_cast<const MSG *>(message)->message == WM_DEVICECHANGE)
            deviceChangeResults.append(handled);
        return handled;
    }
};

} // namespace

class tst_CompanionWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void startsBesideProgram();
    void followsAccessory();
    void followsAccessoryAmongOthers();
    void companionEndingIsLogged();
    void ignoresOtherInterfaces_data();
    void ignoresOtherInterfaces();
    void endsWithKilledOverlay();

private:
    void send(WPARAM change, const wchar_t *name);
    // A new window, and the information it logged as it started.
    void makeWindow();
    QStringList startInfo;
    QStringList starts() const;
    QTemporaryDir records;
    QString recordPath;
    ProbedLumivane *window = nullptr;
};

void tst_CompanionWin::initTestCase()
{
    QVERIFY(records.isValid());
    // The fake is the only companion the overlay can find: the folder holds nothing else.
    QVERIFY(QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/gattlink.exe")));
}

void tst_CompanionWin::init()
{
    recordPath = records.filePath(QStringLiteral("%1.txt").arg(QLatin1String(QTest::currentTestFunction())));
    QFile::remove(recordPath);
    qputenv("GATTLINK_RECORD", QDir::toNativeSeparators(recordPath).toLocal8Bit());
    // Companions get the environment as the program found it at start: this case's.
    StartEnvironment::retake();
    makeWindow();
}

void tst_CompanionWin::makeWindow()
{
    delete window;
    QFile::remove(recordPath);
    MessageCapture info(QtInfoMsg);
    window = new ProbedLumivane;
    startInfo = MessageCapture::lines();
}

void tst_CompanionWin::cleanup()
{
    delete window;
    window = nullptr;
}

void tst_CompanionWin::send(WPARAM change, const wchar_t *name)
{
    std::vector<unsigned char> broadcast = broadcastFor(name);
    SendMessageW(reinterpret_cast<HWND>(window->winId()), WM_DEVICECHANGE, change, LPARAM(broadcast.data()));
}

QStringList tst_CompanionWin::starts() const
{
    QFile file(recordPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void tst_CompanionWin::startsBesideProgram()
{
    QTRY_VERIFY2_WITH_TIMEOUT(
        window->process->state() == QProcess::Running, qPrintable(window->process->errorString()), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, 30000);
    const QString expected =
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QStringLiteral("/gattlink.exe"));
    const QString line = starts().constFirst();
    QCOMPARE(line.section(QLatin1Char(' '), 1, 1).toLongLong(), window->process->processId());
    QCOMPARE(line.section(QLatin1Char(' '), 2).compare(expected, Qt::CaseInsensitive), 0);
    // Windows listed its HID interfaces (Wine has no Bluetooth LE one), and that was said.
    QVERIFY(startInfo.contains(QStringLiteral("Bluetooth LE HID interfaces present at start: 0")));
}

void tst_CompanionWin::followsAccessory()
{
    QTRY_VERIFY2_WITH_TIMEOUT(
        window->process->state() == QProcess::Running, qPrintable(window->process->errorString()), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, 30000);

    send(DBT_DEVICEREMOVECOMPLETE, AccessoryName);
    QTRY_COMPARE_WITH_TIMEOUT(window->process->state(), QProcess::NotRunning, 30000);

    send(DBT_DEVICEARRIVAL, AccessoryName);
    QTRY_VERIFY2_WITH_TIMEOUT(
        window->process->state() == QProcess::Running, qPrintable(window->process->errorString()), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 2, 30000);
    QCOMPARE(starts().constLast().section(QLatin1Char(' '), 1, 1).toLongLong(), window->process->processId());

    // A second arrival while it runs starts no other.
    send(DBT_DEVICEARRIVAL, AccessoryName);
    QCOMPARE(window->process->state(), QProcess::Running);

    QCOMPARE(window->deviceChangeResults, QList<bool>({false, false, false}));
}

void tst_CompanionWin::followsAccessoryAmongOthers()
{
    // The accessory and the mouse present at start, named as SetupAPI names them: in lower case.
    HidInterfaces::enumeration = [](bool *ok) {
        *ok = true;
        return QStringList {
            QString::fromWCharArray(AccessoryName).toLower(), QString::fromWCharArray(MouseName).toLower()};
    };
    makeWindow();
    HidInterfaces::enumeration = &HidInterfaces::present;
    QVERIFY(startInfo.contains(QStringLiteral("Bluetooth LE HID interfaces present at start: 2")));
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, 30000);
    // The mouse goes (as it does when it sleeps): the accessory's companion is back at once.
    send(DBT_DEVICEREMOVECOMPLETE, MouseName);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 2, 30000);
    // Both gone: none; the mouse back: one; the accessory back: still that one.
    send(DBT_DEVICEREMOVECOMPLETE, AccessoryName);
    QTRY_COMPARE_WITH_TIMEOUT(window->process->state(), QProcess::NotRunning, 30000);
    send(DBT_DEVICEARRIVAL, MouseName);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 3, 30000);
    send(DBT_DEVICEARRIVAL, AccessoryName);
    QCOMPARE(starts().constLast().section(QLatin1Char(' '), 1, 1).toLongLong(), window->process->processId());
}

void tst_CompanionWin::companionEndingIsLogged()
{
    // The log file under LOCALAPPDATA is full: its newer half stays, and the warning follows it.
    QTemporaryDir appData;
    QFile log(appData.filePath(QStringLiteral("Lumivane/lumivane.log")));
    QVERIFY(QDir(appData.path()).mkpath(QStringLiteral("Lumivane")) && log.open(QIODevice::WriteOnly));
    QCOMPARE(log.write(QByteArray("old\n").repeated(16384)), qint64(65536));
    log.close();
    qputenv("LOCALAPPDATA", QDir::toNativeSeparators(appData.path()).toLocal8Bit());
    const WarningLog warningLog;
    qputenv("GATTLINK_EXIT", "3");
    StartEnvironment::retake();
    makeWindow();
    qunsetenv("GATTLINK_EXIT");
    const QByteArray line = "lumivane.companion: The companion " +
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QStringLiteral("/gattlink.exe"))
            .toUtf8() +
        " ended by itself with exit status 3\r\n";
    QByteArray logged;
    QTRY_VERIFY_WITH_TIMEOUT(
        log.open(QIODevice::ReadOnly) && (logged = log.readAll(), log.close(), logged.contains(line)), 30000);
    QCOMPARE(logged.count(line), 1);
    QCOMPARE(logged.count("old\n"), 8191);
}

void tst_CompanionWin::ignoresOtherInterfaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("other collection") << QString::fromWCharArray(OtherCollectionName);
    QTest::newRow("upper-case service") << QString::fromWCharArray(UpperCaseServiceName);
}

void tst_CompanionWin::ignoresOtherInterfaces()
{
    QFETCH(QString, name);
    const std::wstring other = name.toStdWString();
    QTRY_VERIFY2_WITH_TIMEOUT(
        window->process->state() == QProcess::Running, qPrintable(window->process->errorString()), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, 30000);
    const qint64 companion = window->process->processId();

    send(DBT_DEVICEREMOVECOMPLETE, other.c_str());
    QCOMPARE(window->process->state(), QProcess::Running);
    QCOMPARE(window->process->processId(), companion);

    // With the companion gone, an arrival of another interface does not bring it back.
    send(DBT_DEVICEREMOVECOMPLETE, AccessoryName);
    QTRY_COMPARE_WITH_TIMEOUT(window->process->state(), QProcess::NotRunning, 30000);
    send(DBT_DEVICEARRIVAL, other.c_str());
    QCOMPARE(window->process->state(), QProcess::NotRunning);
    QCoreApplication::processEvents();
    QCOMPARE(window->process->state(), QProcess::NotRunning);
    QCOMPARE(starts().size(), 1);

    QCOMPARE(window->deviceChangeResults, QList<bool>({false, false, false}));
}

void tst_CompanionWin::endsWithKilledOverlay()
{
    // The program in a process of its own, its companion beside it, recording elsewhere.
    OverlayProcess overlay;
    const QString record = records.filePath(QStringLiteral("killed.txt"));
    QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/gattlink.exe"),
        overlay.folderPath() + QStringLiteral("/gattlink.exe")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GATTLINK_RECORD"), QDir::toNativeSeparators(record));
    QVERIFY(overlay.start(environment));
    const auto recorded = [&record] {
        QFile file(record);
        return file.open(QIODevice::ReadOnly | QIODevice::Text) ? file.readAll() : QByteArray();
    };
    QByteArray line;
    QTRY_VERIFY_WITH_TIMEOUT(!(line = recorded()).isEmpty(), 30000);
    const DWORD pid = QString::fromLocal8Bit(line).section(QLatin1Char(' '), 1, 1).toULong();
    HANDLE companion = OpenProcess(SYNCHRONIZE, FALSE, pid);
    QVERIFY(companion);
    // Terminated, as by the task manager: nothing of the overlay's runs any more.
    overlay.process.kill();
    QVERIFY(overlay.process.waitForFinished(30000));
    const DWORD ended = WaitForSingleObject(companion, 30000);
    CloseHandle(companion);
    QCOMPARE(ended, DWORD(WAIT_OBJECT_0));
}

QTEST_MAIN(tst_CompanionWin)
#include "tst_companion_win.moc"
