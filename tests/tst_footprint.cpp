#include "channel/ChannelNames.h"
#include "lumivane-config.h"
#include "support/HeadlessSway.h"
#include "support/OverlayProcess.h"
#include "support/XProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QTest>
#include <pwd.h>
#include <unistd.h>

namespace {

// The libraries of the Qt the program is built with, and of the other major version.
const QByteArray OwnQt = "libQt" + QByteArray::number(QT_VERSION_MAJOR);
const QByteArray OtherQt = QT_VERSION_MAJOR == 5 ? "libQt6" : "libQt5";

} // namespace

// What the running program has loaded once it has shown itself and its tray icon: nothing of the
// OpenGL stack it never draws with, no image plugin for the PNG images of its own bundle, and
// nothing of a Qt other than its own. In a session that names no bus, it has started none. The
// same once it has shown itself on sway: as a layer surface, or, in a build without the
// layer-shell integration, through XWayland.
class tst_Footprint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void onSway();
    void notMapped_data();
    void notMapped();
    void linked_data();
    void linked();
    void cleanupTestCase();

private:
    QTemporaryDir runtime;
    QProcess trayHost;
    OverlayProcess overlay;
    QByteArray mapped;
    HeadlessSway sway;
    QProcess onWayland;
    QByteArray mappedOnWayland;
    // What the program links, as the dynamic linker finds it (ldd).
    QByteArray programLinks;
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
    QVERIFY(mapped.contains(QByteArray(OwnQt + "Widgets")));
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(LUMIVANE_PROGRAM_BUILT)});
    QVERIFY(ldd.waitForFinished(30000));
    programLinks = ldd.readAllStandardOutput();
    QVERIFY(programLinks.contains(QByteArray(OwnQt + "Core")));
    // No bus autolaunched: dbus-launch would announce it on the display by this selection.
    QFile machineId(QStringLiteral("/etc/machine-id"));
    QVERIFY(machineId.open(QIODevice::ReadOnly));
    QCOMPARE(probe.selectionOwner("_DBUS_SESSION_BUS_SELECTION_" + QByteArray(getpwuid(getuid())->pw_name) +
                 '_' + machineId.readAll().trimmed()),
        xcb_window_t(XCB_WINDOW_NONE));
}

// Run before the rows, as a test function of its own: the X11 start above has to be over first.
void tst_Footprint::onSway()
{
    QVERIFY2(sway.start(QByteArray(), !LUMIVANE_LAYER_SHELL_INTEGRATION),
        "sway does not start: run scripts/install-deps.sh");
    const QImage bare = sway.screen();
    QVERIFY(!bare.isNull());
    // The program and its Wayland module where an installed program finds it, in a folder that
    // the compositor's user can read: the build tree may lie in a folder of root's alone.
    const QString home = sway.environment().value(QStringLiteral("HOME"));
    const QString program = home + QStringLiteral("/bin/lumivane");
    const QString module = QDir::cleanPath(home + QStringLiteral("/bin/" LUMIVANE_MODULE_FROM_PROGRAM));
    QVERIFY(QDir().mkpath(QFileInfo(program).path()) && QDir().mkpath(QFileInfo(module).path()));
    QVERIFY(QFile::copy(QStringLiteral(LUMIVANE_PROGRAM_BUILT), program));
    QVERIFY(QFile::copy(QStringLiteral(LUMIVANE_MODULE_BUILT), module));
    onWayland.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    sway.launch(onWayland, {program, QStringLiteral("-s")});
    // Shown: the overlay's square of the screen no longer looks as it did.
    const auto shown = [&] {
        const QImage screen = sway.screen();
        return !screen.isNull() && screen.copy(552, 312, 176, 176) != bare.copy(552, 312, 176, 176);
    };
    QTRY_VERIFY_WITH_TIMEOUT(shown(), 30000);
    QFile maps(QStringLiteral("/proc/%1/maps").arg(onWayland.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    mappedOnWayland = maps.readAll();
    QCOMPARE(mappedOnWayland.contains("libqwayland-generic"), bool(LUMIVANE_LAYER_SHELL_INTEGRATION));
    QCOMPARE(mappedOnWayland.contains("liblayer-shell"), bool(LUMIVANE_LAYER_SHELL_INTEGRATION));
    QCOMPARE(mappedOnWayland.contains("libqxcb"), !LUMIVANE_LAYER_SHELL_INTEGRATION);
    onWayland.terminate();
    QVERIFY(onWayland.waitForFinished(20000));
    // Its one line says why; without the integration, not that the compositor offers none.
    const QByteArray said = onWayland.readAllStandardError();
    const QByteArray line = LUMIVANE_LAYER_SHELL_INTEGRATION
        ? "lumivane.display: Wayland, a layer surface: the compositor offers one\n"
        : "lumivane.display: X11 through XWayland: this build has no layer-shell integration\n";
    QVERIFY2(said.contains(line), said.constData());
}

void tst_Footprint::notMapped_data()
{
    QTest::addColumn<QByteArray>("library");
    QTest::addColumn<bool>("wayland");
    const QList<QPair<const char *, QByteArray>> libraries {
        {"GLX integration plugin", "libqxcb-glx-integration"},
        {"Mesa's GLX", "libGLX_mesa"},
        {"Mesa's EGL", "libEGL_mesa"},
        {"EGL", "libEGL"},
        {"DRI driver", "_dri.so"},
        {"LLVM", "libLLVM"},
        {"gbm", "libgbm"},
        {"Qt's Wayland EGL plugin", "wayland-egl"},
        {"image plugins", "/imageformats/"},
        {"the other Qt", OtherQt},
    };
    for (const bool wayland : {false, true}) {
        for (const auto &library : libraries)
            QTest::addRow("%s, %s", wayland ? "sway" : "X11", library.first) << library.second << wayland;
    }
}

void tst_Footprint::notMapped()
{
    QFETCH(QByteArray, library);
    QFETCH(bool, wayland);
    // Loaded no further than the program's libraries link it: Debian's Qt 6 links glvnd's EGL
    // dispatcher into QtGui itself, though never a driver behind it.
    QVERIFY2(!(wayland ? mappedOnWayland : mapped).contains(library) || programLinks.contains(library),
        library.constData());
}

void tst_Footprint::linked_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("widgets");
    QTest::newRow("program") << QStringLiteral(LUMIVANE_PROGRAM_BUILT) << true;
    QTest::newRow("Wayland module") << QStringLiteral(LUMIVANE_MODULE_BUILT) << false;
    QTest::newRow("lumivane-send") << QStringLiteral(LUMIVANE_SEND_BUILT) << false;
}

// Every library a file loads, as the dynamic linker finds them: the Qt it was built with alone. Two
// Qt versions in one process abort it at the first symbol they share.
void tst_Footprint::linked()
{
    QFETCH(QString, file);
    QFETCH(bool, widgets);
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {file});
    QVERIFY(ldd.waitForFinished(30000));
    QCOMPARE(ldd.exitCode(), 0);
    const QByteArray libraries = ldd.readAllStandardOutput();
    QVERIFY2(!libraries.contains("not found"), libraries.constData());
    QVERIFY2(!libraries.contains(OtherQt), libraries.constData());
    QVERIFY2(libraries.contains(QByteArray(OwnQt + "Core")), libraries.constData());
    QCOMPARE(libraries.contains(QByteArray(OwnQt + "Widgets")), widgets);
}

void tst_Footprint::cleanupTestCase()
{
    QVERIFY(overlay.stop());
    trayHost.terminate();
    QVERIFY(trayHost.waitForFinished());
}

QTEST_GUILESS_MAIN(tst_Footprint)
#include "tst_footprint.moc"
