#include "MockBluez.h"
#include "companion/BluezWatcher.h"
#include "companion/CompanionProcess.h"
#include "companion/CompanionSupervisor.h"
#include "companion/DeviceWatcher.h"
#include "session/StartEnvironment.h"
#include "support/MessageCapture.h"
#include "support/OverlayProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/prctl.h>
#include <sys/wait.h>

// The companion's life as the overlay supervises it. This executable lives in a folder of its
// own beside a fake "gattlink" (tests/fakes/gattlink.cpp), which appends "start <pid> <path>"
// to the file named by GATTLINK_RECORD; a companion that forks also records "child <pid>" there.
// The supervisors built here find that fake; the tests that run the program itself give each
// copy of it a temporary folder with its own fakes.
class tst_Companion : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startsBesideTheExecutable();
    void followsTheAccessory();
    void endsWithItsOwner();

    void registrationFailureIsLogged_data();
    void registrationFailureIsLogged();
    void outputIsForwarded();
    void endsWhenTerminated();
    void endsWhenKilled();
    void neverFromCurrentDirectory_data();
    void neverFromCurrentDirectory();
    void backWithItsAccessory_data();
    void backWithItsAccessory();
    void groupEndsWithIt_data();
    void groupEndsWithIt();

private:
    struct Start
    {
        qint64 pid;
        QString program;
    };

    QList<Start> starts() const;
    QList<qint64> children() const;
    // The fields of each recorded line of the given kind, after the kind.
    QList<QList<QByteArray>> recorded(const QByteArray &kind) const;
    // Starts the program with or without a fake beside it, in a working directory that holds
    // none unless the test gives another.
    bool launch(OverlayProcess *overlay, bool companionBeside, const QString &searchPath,
        const QString &busAddress, const QString &workingDirectory = QString());
    // Starts the program on this test's system bus with the accessory connected from the start,
    // and waits until it has read BlueZ's devices, so that what follows reaches it as changes.
    // The accessory's object path, or an empty one on failure.
    QString launchWithAccessory(OverlayProcess *overlay, MockBluez *bluez, bool companionBeside);

    std::unique_ptr<QTemporaryDir> scratch;
    QString recordFile;
};

namespace {

constexpr int WaitMs = 30000;

constexpr int DropsAndReturns = 20;

// The fields of /proc/<pid>/stat after the process's name, from its state on; empty when the
// process is gone.
enum StatField { State = 0, Parent = 1, Group = 2 };

QList<QByteArray> statOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    const int nameEnd = line.lastIndexOf(')');
    if (nameEnd < 0 || nameEnd + 2 >= line.size())
        return {};
    return line.mid(nameEnd + 2).split(' ');
}

// A process has ended once it is gone or a zombie that nobody has reaped yet.
bool ended(const QList<QByteArray> &fields)
{
    return fields.size() <= Group || fields.at(State) == "Z" || fields.at(State) == "X";
}

bool processEnded(qint64 pid)
{
    return ended(statOf(pid));
}

// The processes that have not ended whose given field holds the value.
QList<qint64> processesWhere(StatField field, qint64 value)
{
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        const QList<QByteArray> fields = statOf(pid);
        if (!ended(fields) && fields.at(field).toLongLong() == value)
            found << pid;
    }
    return found;
}

bool installExecutable(const QString &from, const QString &to)
{
    if (!QFile::copy(from, to))
        return false;
    return QFile::setPermissions(
        to, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

QString deadBus(const QTemporaryDir &dir)
{
    return QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("no-bus"));
}

// A dbus-daemon stopped once it listens, as one stuck at login: it accepts and never answers.
struct StalledBus
{
    StalledBus()
    {
        daemon.start(QStringLiteral("dbus-daemon"),
            words("--session --nofork --print-address --address=unix:tmpdir=/tmp"));
        if (daemon.waitForReadyRead(30000) && ::kill(pid_t(daemon.processId()), SIGSTOP) == 0)
            address = QString::fromLocal8Bit(daemon.readLine().trimmed());
    }
    QProcess daemon;
    QString address;
};

} // namespace

void tst_Companion::initTestCase()
{
    // Companions orphaned by a killed program are adopted by this process, which reaps them.
    QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
}

void tst_Companion::init()
{
    scratch = std::make_unique<QTemporaryDir>();
    QVERIFY(scratch->isValid());
    recordFile = scratch->filePath(QStringLiteral("record"));
    qputenv("GATTLINK_RECORD", QFile::encodeName(recordFile));
    // Each case starts anew: its companions get the environment with this case's record.
    StartEnvironment::retake();
}

void tst_Companion::cleanup()
{
    // A failed test must not leave a companion, its children or a program behind. Orphans are
    // ours to reap.
    QList<qint64> pids = children();
    for (const Start &start : starts())
        pids << start.pid;
    for (qint64 pid : qAsConst(pids)) {
        ::kill(pid_t(pid), SIGKILL);
        ::waitpid(pid_t(pid), nullptr, 0);
    }
}

QList<QList<QByteArray>> tst_Companion::recorded(const QByteArray &kind) const
{
    QList<QList<QByteArray>> result;
    QFile record(recordFile);
    if (!record.open(QIODevice::ReadOnly))
        return result;
    while (!record.atEnd()) {
        QList<QByteArray> fields = record.readLine().trimmed().split(' ');
        if (fields.takeFirst() == kind)
            result << fields;
    }
    return result;
}

QList<tst_Companion::Start> tst_Companion::starts() const
{
    QList<Start> result;
    for (const QList<QByteArray> &fields : recorded("start")) {
        // The path, last, may hold blanks.
        if (fields.size() >= 2)
            result.append({fields.at(0).toLongLong(), QFile::decodeName(fields.mid(1).join(' '))});
    }
    return result;
}

QList<qint64> tst_Companion::children() const
{
    QList<qint64> result;
    for (const QList<QByteArray> &fields : recorded("child"))
        result << fields.value(0).toLongLong();
    return result;
}

bool tst_Companion::launch(OverlayProcess *overlay, bool companionBeside, const QString &searchPath,
    const QString &busAddress, const QString &workingDirectory)
{
    const QString tmp = scratch->filePath(QStringLiteral("tmp"));
    const QString runtime = scratch->filePath(QStringLiteral("runtime"));
    if (!QDir().mkpath(tmp) || !QDir().mkpath(runtime) ||
        !QFile::setPermissions(
            runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return false;
    if (companionBeside &&
        !installExecutable(QStringLiteral(LUMIVANE_TEST_FAKE_COMPANION),
            overlay->folderPath() + QStringLiteral("/gattlink")))
        return false;

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), searchPath);
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress);
    // The instance marker lives in the temporary folder.
    environment.insert(QStringLiteral("TMPDIR"), tmp);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    overlay->process.setWorkingDirectory(workingDirectory.isEmpty() ? scratch->path() : workingDirectory);
    return overlay->start(environment);
}

QString tst_Companion::launchWithAccessory(OverlayProcess *overlay, MockBluez *bluez, bool companionBeside)
{
    const QString device =
        bluez->addDevice(QStringLiteral("C0:FF:EE:00:00:01"), {MockBluez::HidService}, true);
    if (device.isEmpty() ||
        !launch(overlay, companionBeside, QString(), qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS")))
        return QString();
    // The program subscribes to BlueZ's signals before it asks for the devices.
    const QString readDevices = QStringLiteral("GetManagedObjects");
    if (!QTest::qWaitFor([&] { return bluez->callCount(readDevices) > 0; }, WaitMs))
        return QString();
    return device;
}

void tst_Companion::startsBesideTheExecutable()
{
    CompanionProcess process;
    CompanionSupervisor supervisor(&process);
    supervisor.startCompanion();
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);
    QCOMPARE(starts().at(0).program, QCoreApplication::applicationDirPath() + QStringLiteral("/gattlink"));
    QCOMPARE(starts().at(0).pid, process.processId());
    QCOMPARE(process.openMode(), QIODevice::ReadWrite);
}

void tst_Companion::followsTheAccessory()
{
    MockBluez bluez;
    QVERIFY2(bluez.start(), qPrintable(bluez.lastError()));
    CompanionProcess process;
    CompanionSupervisor supervisor(&process);
    supervisor.startCompanion();
    // The system bus of this test answers, so registration succeeds.
    QSignalSpy failed(&supervisor, &CompanionSupervisor::deviceWatchFailed);
    supervisor.watchDevices(WId());
    QTRY_VERIFY_WITH_TIMEOUT(supervisor.findChild<BluezWatcher *>(), WaitMs);
    QCOMPARE(failed.count(), 0);
    auto *watcher = supervisor.findChild<DeviceWatcher *>();
    QVERIFY(watcher);
    QSignalSpy arrived(watcher, &DeviceWatcher::accessoryArrived);
    QSignalSpy removed(watcher, &DeviceWatcher::accessoryRemoved);
    QVERIFY(arrived.isValid());
    QVERIFY(removed.isValid());
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);
    const qint64 first = starts().at(0).pid;

    // Arrival while the companion runs: the same companion goes on.
    const QString device =
        bluez.addDevice(QStringLiteral("C0:FF:EE:00:00:01"), {MockBluez::HidService}, true);
    QVERIFY2(!device.isEmpty(), qPrintable(bluez.lastError()));
    QTRY_COMPARE_WITH_TIMEOUT(arrived.count(), 1, WaitMs);
    QCOMPARE(process.processId(), first);
    QVERIFY(!processEnded(first));

    // Removal kills it, and nothing restarts it.
    QVERIFY(bluez.setConnected(device, false));
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, WaitMs);
    QVERIFY(processEnded(first));
    QCOMPARE(starts().size(), 1);

    // Arrival starts it again through the same handle.
    QVERIFY(bluez.setConnected(device, true));
    QTRY_COMPARE_WITH_TIMEOUT(arrived.count(), 2, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 2, WaitMs);
    QCOMPARE(starts().at(1).pid, process.processId());
    QVERIFY(starts().at(1).pid != first);
    QVERIFY(!processEnded(starts().at(1).pid));

    // A BLE mouse looks the same: when it goes while the accessory stays, a new companion follows
    // the killed one. Every end here is the supervisor's own, and none is reported.
    MessageCapture warnings(QtWarningMsg);
    const QString mouse = bluez.addDevice(QStringLiteral("C0:FF:EE:00:00:02"), {MockBluez::HidService}, true);
    QTRY_COMPARE_WITH_TIMEOUT(arrived.count(), 3, WaitMs);
    QVERIFY(bluez.setConnected(mouse, false));
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 3, WaitMs);
    QCOMPARE(process.processId(), starts().at(2).pid);
    // Both gone: none; the mouse back: one; the accessory back: still that one.
    QVERIFY(bluez.setConnected(device, false));
    QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, WaitMs);
    QVERIFY(bluez.setConnected(mouse, true));
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 4, WaitMs);
    QVERIFY(bluez.setConnected(device, true));
    QTRY_COMPARE_WITH_TIMEOUT(arrived.count(), 5, WaitMs);
    QCOMPARE(process.processId(), starts().at(3).pid);
    QCOMPARE(MessageCapture::lines(), QStringList());
}

void tst_Companion::endsWithItsOwner()
{
    // Owned as the window owns them: the handle first, then its supervisor.
    auto owner = std::make_unique<QObject>();
    auto *supervisor = new CompanionSupervisor(new CompanionProcess(owner.get()), owner.get());
    supervisor->startCompanion();
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);
    const qint64 pid = starts().at(0).pid;
    QVERIFY(!processEnded(pid));
    owner.reset();
    // Destroying the handle kills the companion and waits for it.
    QVERIFY(processEnded(pid));
}

void tst_Companion::registrationFailureIsLogged_data()
{
    QTest::addColumn<QString>("systemBus"); // "stalled", or empty for none
    QTest::addColumn<bool>("sessionStalled");
    QTest::addColumn<QByteArray>("line");
    // The line is the text, a space and a line feed, and the message handler ends it.
    const QByteArray failed = "\n注册失败 \n\n";
    QTest::newRow("no system bus") << QString() << false << failed;
    QTest::newRow("system bus stalled") << QStringLiteral("stalled") << false << failed;
    QTest::newRow("session bus stalled") << qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS") << true
                                         << QByteArray("lumivane.bus: The session bus does not answer");
}

void tst_Companion::registrationFailureIsLogged()
{
    QFETCH(QString, systemBus);
    QFETCH(bool, sessionStalled);
    QFETCH(QByteArray, line);
    const StalledBus stalled;
    QVERIFY(!stalled.address.isEmpty());
    if (systemBus.isEmpty())
        systemBus = deadBus(*scratch);
    else if (systemBus == QLatin1String("stalled"))
        systemBus = stalled.address;
    const QByteArray sessionBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const auto restore = qScopeGuard([&sessionBus] { qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBus); });
    if (sessionStalled)
        qputenv("DBUS_SESSION_BUS_ADDRESS", stalled.address.toLocal8Bit());

    OverlayProcess overlay;
    // Whatever the buses do, the channel is the overlay's and it plays reports within start-up.
    QVERIFY(launch(&overlay, true, QString(), systemBus));
    QCOMPARE(runSender(words("--via x11 1 0 0 7")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(overlay.wroteLines({"mode: 1 ,R: 0 ,G: 0 ,B: 7"}), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(overlay.errorOutput().contains(line), WaitMs);
    QCOMPARE(overlay.errorOutput().count(line), 1);
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);
    QVERIFY(overlay.stop());
    QCOMPARE(overlay.process.exitCode(), 0);
}

void tst_Companion::outputIsForwarded()
{
    OverlayProcess overlay;
    QVERIFY(launch(&overlay, true, QString(), qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS")));
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);
    const QByteArray pid = QByteArray::number(starts().at(0).pid);
    // It appears on the program's own channels while both run.
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT(
        (output += overlay.process.readAllStandardOutput()).contains(QByteArray("gattlink " + pid + " up\n")),
        WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(
        overlay.errorOutput().contains(QByteArray("gattlink " + pid + " listening\n")), WaitMs);
    QCOMPARE(overlay.process.state(), QProcess::Running);
    QVERIFY(overlay.stop());
    // The system bus of this test is reachable, so the registration succeeded.
    QVERIFY(!overlay.errorOutput().contains("注册失败"));
}

void tst_Companion::endsWhenTerminated()
{
    OverlayProcess overlay;
    QVERIFY(launch(&overlay, true, QString(), qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS")));
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);
    const qint64 pid = starts().at(0).pid;
    QVERIFY(!processEnded(pid));

    QVERIFY(overlay.stop());
    QCOMPARE(overlay.process.exitCode(), 0);
    // The program waited for its companion before it left.
    QVERIFY(processEnded(pid));
}

void tst_Companion::endsWhenKilled()
{
    OverlayProcess overlay;
    QVERIFY(launch(&overlay, true, QString(), qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS")));
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);
    const qint64 pid = starts().at(0).pid;
    QVERIFY(!processEnded(pid));

    overlay.process.kill();
    QVERIFY(overlay.process.waitForFinished(WaitMs));
    QCOMPARE(overlay.process.exitStatus(), QProcess::CrashExit);
    // Nobody cleaned up; the kernel ends the orphan.
    QTRY_VERIFY_WITH_TIMEOUT(processEnded(pid), WaitMs);
}

void tst_Companion::neverFromCurrentDirectory_data()
{
    QTest::addColumn<bool>("companionBeside");
    QTest::addColumn<bool>("companionOnPath");
    QTest::addColumn<QString>("expectedFolder"); // empty: no companion at all

    QTest::newRow("relative PATH entries are skipped") << false << true << QStringLiteral("onPath");
    QTest::newRow("beside the program before PATH") << true << true << QStringLiteral("program");
    QTest::newRow("only the current directory has it") << false << false << QString();
}

void tst_Companion::neverFromCurrentDirectory()
{
    QFETCH(bool, companionBeside);
    QFETCH(bool, companionOnPath);
    QFETCH(QString, expectedFolder);

    // The current directory and a relative folder under it both hold a companion.
    const QString current = scratch->filePath(QStringLiteral("current"));
    QVERIFY(QDir().mkpath(current + QStringLiteral("/bin")));
    QVERIFY(installExecutable(
        QStringLiteral(LUMIVANE_TEST_FAKE_COMPANION), current + QStringLiteral("/gattlink")));
    QVERIFY(installExecutable(
        QStringLiteral(LUMIVANE_TEST_FAKE_COMPANION), current + QStringLiteral("/bin/gattlink")));
    QString searchPath = QStringLiteral(":.:bin:./bin:");
    if (companionOnPath) {
        const QString onPath = scratch->filePath(QStringLiteral("onPath"));
        QVERIFY(QDir().mkpath(onPath));
        QVERIFY(installExecutable(
            QStringLiteral(LUMIVANE_TEST_FAKE_COMPANION), onPath + QStringLiteral("/gattlink")));
        searchPath += onPath;
    }

    OverlayProcess overlay;
    QVERIFY(launch(&overlay, companionBeside, searchPath, deadBus(*scratch), current));
    // The failed registration comes after the companion's start in the construction.
    QTRY_VERIFY_WITH_TIMEOUT(overlay.errorOutput().contains("注册失败"), WaitMs);
    const QList<qint64> children = processesWhere(Parent, overlay.process.processId());
    if (expectedFolder.isEmpty()) {
        QVERIFY(children.isEmpty());
        QVERIFY(starts().isEmpty());
        // Said once, with where it was looked for.
        const QByteArray said =
            "no executable \"gattlink\" in " + canonical(overlay.folderPath()).toUtf8() + " or in";
        QCOMPARE(overlay.errorOutput().count(said), 1);
    } else {
        QCOMPARE(children.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);
        QCOMPARE(starts().at(0).pid, children.at(0));
        const QString folder = expectedFolder == QLatin1String("program") ? overlay.folderPath()
                                                                          : scratch->filePath(expectedFolder);
        QCOMPARE(starts().at(0).program, canonical(folder + QStringLiteral("/gattlink")));
    }
    QVERIFY(overlay.stop());
}

void tst_Companion::backWithItsAccessory_data()
{
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<bool>("stopped"); // the program is stopped across each drop and return
    QTest::addColumn<bool>("dropsAgain"); // and the link drops once more before it continues

    QTest::newRow("back to back") << 0 << false << false;
    QTest::newRow("1 ms apart") << 1 << false << false;
    QTest::newRow("50 ms apart") << 50 << false << false;
    QTest::newRow("program stopped meanwhile") << 0 << true << false;
    QTest::newRow("dropped again while stopped") << 0 << true << true;
}

void tst_Companion::backWithItsAccessory()
{
    QFETCH(int, gapMs);
    QFETCH(bool, stopped);
    QFETCH(bool, dropsAgain);

    MockBluez bluez;
    QVERIFY2(bluez.start(), qPrintable(bluez.lastError()));
    OverlayProcess overlay;
    const QString device = launchWithAccessory(&overlay, &bluez, true);
    QVERIFY2(!device.isEmpty(), qPrintable(bluez.lastError()));
    const qint64 program = overlay.process.processId();
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);

    for (int pair = 1; pair <= DropsAndReturns; ++pair) {
        int started = starts().size();
        const qint64 current = starts().constLast().pid;
        if (stopped) {
            QCOMPARE(::kill(pid_t(program), SIGSTOP), 0);
            QTRY_COMPARE_WITH_TIMEOUT(statOf(program).value(State), QByteArray("T"), WaitMs);
        }
        QVERIFY2(bluez.setConnected(device, false), qPrintable(bluez.lastError()));
        if (gapMs > 0)
            QTest::qSleep(gapMs);
        QVERIFY2(bluez.setConnected(device, true), qPrintable(bluez.lastError()));
        if (dropsAgain)
            QVERIFY2(bluez.setConnected(device, false), qPrintable(bluez.lastError()));
        // The mock has sent the signals before it answered.
        if (stopped)
            QCOMPARE(::kill(pid_t(program), SIGCONT), 0);
        if (dropsAgain) {
            // A start that waited for the old companion's end was called off: once the program
            // has reaped the old one, where it would have started the new one, none runs.
            QVERIFY(QTest::qWaitFor(
                [&] { return statOf(current).isEmpty() && processesWhere(Parent, program).isEmpty(); },
                WaitMs));
            started = starts().size();
            QVERIFY2(bluez.setConnected(device, true), qPrintable(bluez.lastError()));
        }

        // Each return ends with one companion: a new one, and the program's only child.
        const bool oneNewCompanion = QTest::qWaitFor(
            [&] {
                const QList<Start> now = starts();
                return now.size() == started + 1 &&
                    processesWhere(Parent, program) == QList<qint64> {now.constLast().pid};
            },
            WaitMs);
        QVERIFY2(oneNewCompanion,
            qPrintable(QStringLiteral("after drop and return %1: %2 companions started, %3 running")
                           .arg(pair)
                           .arg(starts().size() - started)
                           .arg(processesWhere(Parent, program).size())));
    }
    QVERIFY(overlay.stop());
}

void tst_Companion::groupEndsWithIt_data()
{
    QTest::addColumn<QString>("end");

    QTest::newRow("removal") << QStringLiteral("removal");
    QTest::newRow("termination signal") << QStringLiteral("terminated");
    // Ways out that run none of the program's own code: the kernel and the group's guard.
    QTest::newRow("program killed") << QStringLiteral("killed");
    QTest::newRow("X server gone") << QStringLiteral("display lost");
}

void tst_Companion::groupEndsWithIt()
{
    QFETCH(QString, end);

    // The program's own X server, for the row that takes it away.
    QProcess xServer;
    const QByteArray testDisplay = qgetenv("DISPLAY");
    const auto restoreDisplay = qScopeGuard([&] {
        qputenv("DISPLAY", testDisplay);
        xServer.kill();
        xServer.waitForFinished();
    });
    if (end == QLatin1String("display lost")) {
        xServer.start(QStringLiteral("Xvfb"), words("-displayfd 1 -nolisten tcp -screen 0 640x480x24"));
        QVERIFY(xServer.waitForStarted() && xServer.waitForReadyRead(WaitMs));
        qputenv("DISPLAY", ':' + xServer.readAllStandardOutput().trimmed());
    }
    MockBluez bluez;
    QVERIFY2(bluez.start(), qPrintable(bluez.lastError()));
    OverlayProcess overlay;
    // The program runs with an empty PATH.
    QVERIFY(overlay.addCompanion("/bin/sleep 1000 & echo \"child $!\" >>\"$GATTLINK_RECORD\"\n"
                                 "/bin/sleep 1000 & echo \"child $!\" >>\"$GATTLINK_RECORD\"\n"
                                 "echo \"start $$ $0\" >>\"$GATTLINK_RECORD\"\n"
                                 "wait\n"));
    const QString device = launchWithAccessory(&overlay, &bluez, false);
    QVERIFY2(!device.isEmpty(), qPrintable(bluez.lastError()));
    QTRY_COMPARE_WITH_TIMEOUT(starts().size(), 1, WaitMs);
    QCOMPARE(children().size(), 2);
    const qint64 companion = starts().at(0).pid;

    // The companion leads a group of its own, apart from the program's, with its two children
    // and the guard that ends the group when the program is gone; the companion's own wait is
    // for its children only.
    QList<qint64> group = processesWhere(Group, companion);
    const auto guard = std::find_if(group.cbegin(), group.cend(), [](qint64 pid) {
        QFile name(QStringLiteral("/proc/%1/comm").arg(pid));
        return name.open(QIODevice::ReadOnly) && name.readAll() == "companion-guard\n";
    });
    QVERIFY(guard != group.cend());
    QVERIFY(statOf(*guard).value(Parent).toLongLong() != companion);
    group.removeOne(*guard);
    std::sort(group.begin(), group.end());
    QList<qint64> expected = children() << companion;
    std::sort(expected.begin(), expected.end());
    QCOMPARE(group, expected);
    QVERIFY(statOf(overlay.process.processId()).value(Group).toLongLong() != companion);

    const auto groupEnded = [&] { return processesWhere(Group, companion).isEmpty(); };
    if (end == QLatin1String("removal")) {
        QVERIFY2(bluez.setConnected(device, false), qPrintable(bluez.lastError()));
        QVERIFY(QTest::qWaitFor(groupEnded, WaitMs));
        QCOMPARE(overlay.process.state(), QProcess::Running);
        QVERIFY(overlay.stop());
        return;
    }
    if (end == QLatin1String("terminated")) {
        QVERIFY(overlay.stop());
        QCOMPARE(overlay.process.exitCode(), 0);
    } else if (end == QLatin1String("killed")) {
        overlay.process.kill();
        QVERIFY(overlay.process.waitForFinished(WaitMs));
    } else {
        xServer.kill();
        QVERIFY(overlay.process.waitForFinished(WaitMs));
        QCOMPARE(overlay.process.exitCode(), 1);
    }
    QVERIFY(QTest::qWaitFor(groupEnded, WaitMs));
}

QTEST_GUILESS_MAIN(tst_Companion)

#include "tst_companion.moc"
