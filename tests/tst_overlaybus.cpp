#include "platform/ChannelNames.h"
#include "support/OverlayProcess.h"
#include "support/XProbe.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

// The overlay on this test's own session bus (tests/with-system-bus.sh --session), reached with
// the real busctl and gdbus, and started by the bus from the installed service file.
class tst_OverlayBus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void activation();
    void activationRacingStartByHand();
    void takenName();
    void calls_data();
    void calls();

private:
    static QString installedProgram();
    // The running processes of the installed program.
    static QList<qint64> instances();
    static qint64 nameOwner();
    static bool stopOwner();

    OverlayProcess overlay;
};

namespace {

const QString busName = QLatin1String(ChannelNames::BusService);
const QString busPath = QLatin1String(ChannelNames::BusPath);

int run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitCode();
}

} // namespace

QString tst_OverlayBus::installedProgram()
{
    return QStringLiteral(LUMIVANE_TEST_PREFIX "/bin/lumivane");
}

QList<qint64> tst_OverlayBus::instances()
{
    QList<qint64> found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == installedProgram())
            found.append(pid.toLongLong());
    }
    return found;
}

qint64 tst_OverlayBus::nameOwner()
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus->isServiceRegistered(busName) ? qint64(bus->servicePid(busName).value()) : 0;
}

bool tst_OverlayBus::stopOwner()
{
    const qint64 owner = nameOwner();
    if (owner != 0)
        ::kill(pid_t(owner), SIGTERM);
    return QTest::qWaitFor([] { return nameOwner() == 0 && instances().isEmpty(); }, 20000);
}

void tst_OverlayBus::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run through tests/with-system-bus.sh --session");
    // Installed where the bus's configuration looks for service files.
    QDir(QStringLiteral(LUMIVANE_TEST_PREFIX)).removeRecursively();
    QCOMPARE(run(QStringLiteral(LUMIVANE_CMAKE),
                 {QStringLiteral("--install"), QStringLiteral(LUMIVANE_BUILD_DIR), QStringLiteral("--prefix"),
                     QStringLiteral(LUMIVANE_TEST_PREFIX)}),
        0);
    // As desktop sessions do, so that the overlay the bus starts finds this test's display and
    // instance marker.
    QCOMPARE(run(QStringLiteral("dbus-update-activation-environment"),
                 {QStringLiteral("DISPLAY"), QStringLiteral("TMPDIR"), QStringLiteral("XDG_CONFIG_HOME"),
                     QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("QT_QPA_PLATFORM"),
                     QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS")}),
        0);
}

void tst_OverlayBus::cleanupTestCase()
{
    if (overlay.process.state() == QProcess::Running)
        overlay.stop();
    stopOwner();
    QDir(QStringLiteral(LUMIVANE_TEST_PREFIX)).removeRecursively();
}

void tst_OverlayBus::activation()
{
    QCOMPARE(nameOwner(), 0);
    QCOMPARE(runSender({QStringLiteral("--via"), QStringLiteral("dbus"), QStringLiteral("2"),
                 QStringLiteral("255"), QStringLiteral("0"), QStringLiteral("0")}),
        0);
    QCOMPARE(instances().size(), 1);
    QCOMPARE(nameOwner(), instances().first());
    XProbe probe;
    const xcb_window_t window = probe.selectionOwner(ChannelNames::Report);
    QVERIFY(window != XCB_WINDOW_NONE);
    QTRY_VERIFY_WITH_TIMEOUT(probe.isViewable(window), 10000);
    QVERIFY(stopOwner());
}

void tst_OverlayBus::activationRacingStartByHand()
{
    QProcess byHand;
    byHand.start(installedProgram(), QStringList());
    QByteArray errorOutput;
    QCOMPARE(runSender({QStringLiteral("--via"), QStringLiteral("dbus"), QStringLiteral("1"),
                           QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("255")},
                 &errorOutput),
        0);
    // Whichever won, one instance is left, it owns the name, and the loser ended well.
    QTRY_COMPARE_WITH_TIMEOUT(instances().size(), 1, 20000);
    QCOMPARE(nameOwner(), instances().first());
    if (byHand.state() != QProcess::Running) {
        QCOMPARE(byHand.exitStatus(), QProcess::NormalExit);
        QCOMPARE(byHand.exitCode(), 0);
    }
    QVERIFY(stopOwner());
    QVERIFY(byHand.waitForFinished(10000));
}

void tst_OverlayBus::takenName()
{
    // Another program holds the name: the overlay says so once and still takes X11 reports.
    QVERIFY(QDBusConnection::sessionBus().registerService(busName));
    QVERIFY(overlay.start());
    QCOMPARE(runSender({QStringLiteral("--via"), QStringLiteral("x11"), QStringLiteral("3"),
                 QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("9")}),
        0);
    QTRY_VERIFY(overlay.wroteLines({"mode: 3 ,R: 0 ,G: 0 ,B: 9"}));
    QCOMPARE(overlay.errorOutput().count("is taken on the session bus"), 1);
    QVERIFY(overlay.stop());
    QVERIFY(QDBusConnection::sessionBus().unregisterService(busName));
}

void tst_OverlayBus::calls_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    // What the client prints, as a pattern.
    QTest::addColumn<QString>("answer");
    // Reports sent with lumivane-send while the client (a monitor) runs, for the signals it sees.
    QTest::addColumn<QStringList>("reports");
    // Whether the call shows the overlay.
    QTest::addColumn<bool>("shows");

    const QString busctl = QStringLiteral("busctl");
    const QString gdbus = QStringLiteral("gdbus");
    const QStringList busctlCall = {QStringLiteral("--user"), QStringLiteral("call"), busName, busPath,
        QLatin1String(ChannelNames::BusInterface)};
    const QStringList gdbusCall = {QStringLiteral("call"), QStringLiteral("--session"),
        QStringLiteral("--dest"), busName, QStringLiteral("--object-path"), busPath,
        QStringLiteral("--method")};
    const QString method = QLatin1String(ChannelNames::BusInterface) + QLatin1Char('.');
    const QString properties = QStringLiteral("org.freedesktop.DBus.Properties.");
    const QStringList none;

    QTest::newRow("introspection") << busctl
                                   << QStringList {QStringLiteral("--user"), QStringLiteral("introspect"),
                                          busName, busPath, QLatin1String(ChannelNames::BusInterface)}
                                   << 0
                                   << QStringLiteral(
                                          "\\.Report +method +u +b +-\\n\\.Show +method +- +- +-\\n"
                                          "\\.CurrentMode +property +y +\\d+ +emits-change\\n")
                                   << none << false;
    QTest::newRow("Show") << busctl << busctlCall + QStringList {QStringLiteral("Show")} << 0
                          << QStringLiteral("^$") << none << true;
    QTest::newRow("Report, mode 2") << busctl
                                    << busctlCall +
            QStringList {QStringLiteral("Report"), QStringLiteral("u"), QStringLiteral("0x02ff0000")}
                                    << 0 << QStringLiteral("^b true\\n$") << none << false;
    QTest::newRow("CurrentMode after it")
        << busctl
        << QStringList {QStringLiteral("--user"), QStringLiteral("get-property"), busName, busPath,
               QLatin1String(ChannelNames::BusInterface), QStringLiteral("CurrentMode")}
        << 0 << QStringLiteral("^y 2\\n$") << none << false;
    QTest::newRow("Report, mode 4") << gdbus
                                    << gdbusCall +
            QStringList {method + QStringLiteral("Report"), QStringLiteral("0x04000000")}
                                    << 0 << QStringLiteral("^\\(false,\\)\\n$") << none << false;
    QTest::newRow("mode 4 changes nothing")
        << gdbus
        << gdbusCall +
            QStringList {properties + QStringLiteral("Get"), QLatin1String(ChannelNames::BusInterface),
                QStringLiteral("CurrentMode")}
        << 0 << QStringLiteral("^\\(<byte 0x02>,\\)\\n$") << none << false;
    QTest::newRow("Report, wrong signature")
        << busctl
        << busctlCall + QStringList {QStringLiteral("Report"), QStringLiteral("s"), QStringLiteral("2")} << 1
        << QStringLiteral("No such method 'Report' in interface 'org.lumivane.Overlay1' at object path "
                          "'/org/lumivane/Overlay' \\(signature 's'\\)")
        << none << false;
    QTest::newRow("Report, no argument")
        << gdbus << gdbusCall + QStringList {method + QStringLiteral("Report")} << 1
        << QStringLiteral("org\\.freedesktop\\.DBus\\.Error\\.UnknownMethod") << none << false;
    QTest::newRow("unknown method") << gdbus << gdbusCall + QStringList {method + QStringLiteral("Hide")} << 1
                                    << QStringLiteral("org\\.freedesktop\\.DBus\\.Error\\.UnknownMethod")
                                    << none << false;
    QTest::newRow("unknown property")
        << gdbus
        << gdbusCall +
            QStringList {properties + QStringLiteral("Get"), QLatin1String(ChannelNames::BusInterface),
                QStringLiteral("Mode")}
        << 1 << QStringLiteral("org\\.freedesktop\\.DBus\\.Error\\.UnknownProperty") << none << false;
    QTest::newRow("CurrentMode is read-only")
        << gdbus
        << gdbusCall +
            QStringList {properties + QStringLiteral("Set"), QLatin1String(ChannelNames::BusInterface),
                QStringLiteral("CurrentMode"), QStringLiteral("<byte 1>")}
        << 1 << QStringLiteral("org\\.freedesktop\\.DBus\\.Error\\.PropertyReadOnly") << none << false;
    QTest::newRow("PropertiesChanged")
        << gdbus
        << QStringList {QStringLiteral("monitor"), QStringLiteral("--session"), QStringLiteral("--dest"),
               busName, QStringLiteral("--object-path"), busPath}
        << 0
        << QStringLiteral("PropertiesChanged \\('org\\.lumivane\\.Overlay1', \\{'CurrentMode': <byte "
                          "0x03>\\}, @as \\[\\]\\)")
        << QStringList {QStringLiteral("0x03000000")} << false;
    QTest::newRow("no PropertiesChanged for the same mode")
        << gdbus
        << QStringList {QStringLiteral("monitor"), QStringLiteral("--session"), QStringLiteral("--dest"),
               busName, QStringLiteral("--object-path"), busPath}
        << 0
        << QStringLiteral("\\A(?:(?!PropertiesChanged).)*PropertiesChanged \\('org\\.lumivane\\.Overlay1', "
                          "\\{'CurrentMode': <byte 0x01>\\}")
        << QStringList {QStringLiteral("0x03ff0000"), QStringLiteral("0x01000000")} << false;
}

void tst_OverlayBus::calls()
{
    QFETCH(QString, client);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, answer);
    QFETCH(QStringList, reports);
    QFETCH(bool, shows);

    if (overlay.process.state() != QProcess::Running) {
        QVERIFY(overlay.start());
        QTRY_COMPARE_WITH_TIMEOUT(nameOwner(), qint64(overlay.process.processId()), 10000);
    }

    const QRegularExpression pattern(answer, QRegularExpression::DotMatchesEverythingOption);
    if (reports.isEmpty()) {
        QByteArray output;
        QCOMPARE(run(client, arguments, &output), exitCode);
        QVERIFY2(pattern.match(QString::fromUtf8(output)).hasMatch(), output.constData());
    } else {
        // The monitor says who owns the name once its match rule is in place at the bus.
        QProcess monitor;
        monitor.setProcessChannelMode(QProcess::MergedChannels);
        monitor.start(client, arguments);
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += monitor.readAll()).contains("is owned by"), 10000);
        for (const QString &report : qAsConst(reports))
            QCOMPARE(runSender({QStringLiteral("--raw"), report}), 0);
        QTRY_VERIFY2_WITH_TIMEOUT(pattern.match(QString::fromUtf8(output += monitor.readAll())).hasMatch(),
            output.constData(), 10000);
        monitor.terminate();
        QVERIFY(monitor.waitForFinished(10000));
    }
    if (shows) {
        XProbe probe;
        QTRY_VERIFY(probe.isViewable(probe.selectionOwner(ChannelNames::Report)));
    }
    QCOMPARE(overlay.process.state(), QProcess::Running);
}

QTEST_MAIN(tst_OverlayBus)
#include "tst_overlaybus.moc"
