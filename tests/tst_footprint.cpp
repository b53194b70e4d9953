#include "channel/ChannelNames.h"
#include "support/OverlayProcess.h"
#include "support/XProbe.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QTest>
#include <pwd.h>
#include <unistd.h>

// What the running program has loaded once it has shown itself and its tray icon: nothing of the
// OpenGL stack it never draws with, and no image plugin for the PNG images of its own bundle. In
// a session that names no bus, it has started none.
class tst_Footprint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void notMapped_data();
    void notMapped();
    void cleanupTestCase();

private:
    QTemporaryDir runtime;
    QProcess trayHost;
    OverlayProcess overlay;
    QByteArray mapped;
};

void tst_Footprint::initTestCase()
{
    // A tray, so that the program's icon is docked and drawn like on a desktop.
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty(),
        "trayer is missing: run scripts/install-deps.sh");
    trayHost.setProcessChannelMode(QProcess::ForwardedChannels);
    trayHost.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top")});
    QVERIFY(trayHost.waitForStarted());
    XProbe probe;
    QTRY_VERIFY_WITH_TIMEOUT(probe.selectionOwner(probe.traySelection()) != XCB_WINDOW_NONE, 30000);

    // The program must keep its footprint on its own; the test runner's environment asks Qt to
    // leave out the OpenGL integration, a user's does not.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_XCB_GL_INTEGRATION"));
    // A session without a bus: none named, none in the runtime folder.
    QVERIFY(runtime.isValid());
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QVERIFY(overlay.start(environment, {QStringLiteral("-s")}));
    const xcb_window_t window = probe.selectionOwner(ChannelNames::Report);
    // Shown: whatever the first display needs is loaded by now.
    QTRY_VERIFY_WITH_TIMEOUT(probe.isViewable(window), 30000);
    QFile maps(QStringLiteral("/proc/%1/maps").arg(overlay.process.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    mapped = maps.readAll();
    QVERIFY(mapped.contains("libQt5Widgets"));
    // No bus autolaunched: dbus-launch would announce it on the display by this selection.
    QFile machineId(QStringLiteral("/etc/machine-id"));
    QVERIFY(machineId.open(QIODevice::ReadOnly));
    QCOMPARE(probe.selectionOwner("_DBUS_SESSION_BUS_SELECTION_" + QByteArray(getpwuid(getuid())->pw_name) +
                 '_' + machineId.readAll().trimmed()),
        xcb_window_t(XCB_WINDOW_NONE));
}

void tst_Footprint::notMapped_data()
{
    QTest::addColumn<QByteArray>("library");
    QTest::newRow("GLX integration plugin") << QByteArray("libqxcb-glx-integration");
    QTest::newRow("Mesa's GLX") << QByteArray("libGLX_mesa");
    QTest::newRow("DRI driver") << QByteArray("_dri.so");
    QTest::newRow("image plugins") << QByteArray("/imageformats/");
}

void tst_Footprint::notMapped()
{
    QFETCH(QByteArray, library);
    QVERIFY2(!mapped.contains(library), library.constData());
}

void tst_Footprint::cleanupTestCase()
{
    QVERIFY(overlay.stop());
    trayHost.terminate();
    QVERIFY(trayHost.waitForFinished());
}

QTEST_GUILESS_MAIN(tst_Footprint)
#include "tst_footprint.moc"
