#include "app/InstanceGuard.h"
#include "channel/ChannelNames.h"
#include "lumivane-config.h"
#include "support/HeadlessSway.h"
#include "support/OverlayProcess.h"
#include "support/StatusNotifierWatcher.h"
#include "support/XProbe.h"
#include "widgets/ring.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <optional>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString busName = QStringLiteral("org.lumivane.Overlay");

// What a launcher's command does to the overlay.
enum Outcome {
    Shows, // it shows; one instance of it runs
    Quits, // it ends with status 0, and its companion with it
    OpensPage, // it opens the support page, nothing else
    StartsNone, // none runs, and none is started
};
const QString installedProgram = QStringLiteral(LUMIVANE_TEST_PREFIX "/bin/lumivane");

// Runs a command line of words; its exit code, and what it wrote. Events are handled meanwhile, so
// that the overlay's output is read and the overlay never waits to write it.
int run(const QString &commandLine, QByteArray *output = nullptr)
{
    QStringList arguments = commandLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(arguments.takeFirst(), arguments);
    if (!process.waitForStarted() ||
        !QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 30000) ||
        process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAll();
    return process.exitCode();
}

// The running processes of the installed program.
QStringList instancePids()
{
    QStringList found;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == installedProgram)
            found << pid;
    }
    return found;
}

int instances()
{
    return instancePids().size();
}

qint64 nameOwner()
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    return bus->isServiceRegistered(busName) ? qint64(bus->servicePid(busName).value()) : 0;
}

bool stopOwner()
{
    if (const qint64 owner = nameOwner())
        ::kill(pid_t(owner), SIGTERM);
    // Also those started without the bus.
    for (const QString &pid : instancePids())
        ::kill(pid_t(pid.toInt()), SIGTERM);
    return QTest::qWaitFor([] { return nameOwner() == 0 && instances() == 0; }, 20000);
}

QByteArray busctlReport(const char *parameter)
{
    QByteArray answer;
    const QString call =
        QStringLiteral("busctl --user --timeout=120 call org.lumivane.Overlay /org/lumivane/Overlay "
                       "org.lumivane.Overlay1 Report u ");
    return run(call + QLatin1String(parameter), &answer) == 0 ? answer : QByteArray("failed: ") + answer;
}

// The elements of the named interface in document order, each with its attributes sorted: the same
// for two documents that declare the same, however they order attributes or lay out the text.
QStringList interfaceOutline(const QByteArray &xml, const QString &interface)
{
    QStringList outline;
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (reader.readNext() != QXmlStreamReader::Invalid && !reader.atEnd()) {
        if (reader.isEndElement() && depth > 0)
            --depth;
        if (!reader.isStartElement() ||
            (depth == 0 &&
                (reader.name() != QLatin1String("interface") ||
                    reader.attributes().value(QLatin1String("name")) != interface)))
            continue;
        QStringList attributes;
        for (const QXmlStreamAttribute &attribute : reader.attributes())
            attributes << attribute.name() + QLatin1Char('=') + attribute.value();
        attributes.sort();
        outline << QString(depth++, QLatin1Char(' ')) + reader.name() + QLatin1Char(' ') +
                attributes.join(QLatin1Char(' '));
    }
    return reader.hasError() ? QStringList {reader.errorString()} : outline;
}

bool overlayViewable()
{
    XProbe probe;
    return probe.isViewable(probe.selectionOwner(ChannelNames::Report));
}

// The centre of the disc and its ring around the point given: the middle of the dark pixels on the
// row and the column through the point, within the ring's reach.
QPoint discCentre(const QImage &screen, const QPoint &around)
{
    const auto dark = [&screen](
                          int x, int y) { return screen.valid(x, y) && qGray(screen.pixel(x, y)) < 128; };
    int left = 0, right = -1, top = 0, bottom = -1;
    for (int d = -ring::Side / 2; d <= ring::Side / 2; ++d) {
        if (dark(around.x() + d, around.y())) {
            left = right < 0 ? around.x() + d : left;
            right = around.x() + d;
        }
        if (dark(around.x(), around.y() + d)) {
            top = bottom < 0 ? around.y() + d : top;
            bottom = around.y() + d;
        }
    }
    return right < 0 || bottom < 0 ? QPoint(-1, -1) : QPoint((left + right) / 2, (top + bottom) / 2);
}

// A socket connected to the Unix socket at the path, open across exec; -1 when it cannot connect.
int connectedSocket(const QString &path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (size_t(name.size()) >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (socket >= 0 && ::connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return socket;
    if (socket >= 0)
        ::close(socket);
    return -1;
}

// What befalls the session on sway while the overlay runs there.
enum class SwayFault {
    None,
    // The compositor paused for 0.6 s while the program starts.
    SlowAtStart,
    // XWayland stopped before the program starts, and continued once the overlay is shown.
    XWaylandStopped,
    // XWayland killed while the overlay runs; sway starts it again at the next X client.
    XWaylandKilled,
    // The compositor stopped while the overlay is shown, and the program asked to end.
    StoppedWhileShown,
    // The compositor stopped while the overlay is shown, and reports sent meanwhile; it goes on.
    FrozenWhileShown,
    CompositorKilled,
    // The session bus's daemon killed and another started at the same address, with or without X.
    BusRestarted,
    BusRestartedWithoutX,
};

// Whether the process has ended: gone, or a zombie nobody has reaped yet.
bool processEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const QByteArray state = line.mid(line.lastIndexOf(')') + 2, 1);
    return state.isEmpty() || state == "Z" || state == "X";
}

// Whether the process's main thread waits without a bound on a single descriptor: a display
// connection waiting for its server (a Wayland buffer, an X reply), never the event loop, which
// waits on several.
bool waitsOnDisplay(qint64 pid)
{
    QFile state(QStringLiteral("/proc/%1/syscall").arg(pid));
    if (!state.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> call = state.readAll().trimmed().split(' ');
    if (call.size() < 4 || call[2] != "0x1")
        return false;
#ifdef SYS_poll
    // The timeout, an int of -1, in the register's lower half.
    if (call[0].toLong() == SYS_poll)
        return call[3].endsWith("ffffffff");
#endif
    return call[0].toLong() == SYS_ppoll && call[3] == "0x0";
}

// The running X server of the display given (":N"), by its command line: this test's own, never
// another's on the machine.
qint64 xServerOf(const QString &display)
{
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const qint64 pid = entry.toLongLong();
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (pid > 0 && commandLine.open(QIODevice::ReadOnly) &&
            commandLine.readAll().split('\0').contains(display.toLocal8Bit()) && !processEnded(pid))
            return pid;
    }
    return 0;
}

} // namespace

Q_DECLARE_METATYPE(SwayFault)

// The overlay on this test's own session bus (tests/with-system-bus.sh --session), reached with
// the real busctl and gdbus, and started by the bus from the installed service file.
class tst_OverlayBus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void activation_data();
    void activation();
    void lostActivation();
    void takenName();
    void trayItem_data();
    void trayItem();
    void waylandPlatform();
    void onSway_data();
    void onSway();
    void calls_data();
    void calls();
    void interfaceFile();
    void launchers_data();
    void launchers();
    void flood();

private:
    // Starts the overlay unless it runs, and waits until it owns the name; a fresh one is hidden.
    bool overlayOnBus();

    OverlayProcess overlay;
};

bool tst_OverlayBus::overlayOnBus()
{
    if (overlay.process.state() == QProcess::Running)
        return true;
    return overlay.start() &&
        QTest::qWaitFor([this] { return nameOwner() == overlay.process.processId(); }) && !overlayViewable();
}

void tst_OverlayBus::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run through tests/with-system-bus.sh --session");
    // Installed where the bus's configuration looks for service files.
    QDir(QStringLiteral(LUMIVANE_TEST_PREFIX)).removeRecursively();
    QCOMPARE(run(QStringLiteral(
                 LUMIVANE_CMAKE " --install " LUMIVANE_BUILD_DIR " --prefix " LUMIVANE_TEST_PREFIX)),
        0);
    // As desktop sessions do, so that the overlay the bus starts finds this test's display and
    // instance marker.
    QCOMPARE(
        run(QStringLiteral("dbus-update-activation-environment DISPLAY TMPDIR XDG_CONFIG_HOME "
                           "XDG_RUNTIME_DIR QT_QPA_PLATFORM QT_XCB_GL_INTEGRATION DBUS_SYSTEM_BUS_ADDRESS")),
        0);
}

void tst_OverlayBus::cleanupTestCase()
{
    if (overlay.process.state() == QProcess::Running)
        overlay.stop();
    stopOwner();
    QDir(QStringLiteral(LUMIVANE_TEST_PREFIX)).removeRecursively();
}

void tst_OverlayBus::activation_data()
{
    QTest::addColumn<bool>("startByHand");
    QTest::newRow("none runs") << false;
    QTest::newRow("racing a start by hand") << true;
}

void tst_OverlayBus::activation()
{
    QFETCH(bool, startByHand);
    QCOMPARE(nameOwner(), 0);
    QProcess byHand;
    if (startByHand)
        byHand.start(installedProgram, QStringList());
    QCOMPARE(runSender(words("--via dbus 1 0 0 255")), 0);
    // Whichever won, one instance is left, it owns the name and shows the report.
    QTRY_COMPARE_WITH_TIMEOUT(instances(), 1, 20000);
    QVERIFY(nameOwner() != 0);
    QTRY_VERIFY(overlayViewable());
    QVERIFY(stopOwner());
    if (startByHand) {
        // Lost, it ended by itself with 0 (maybe long ago); won, it ended with 0 when asked to.
        QVERIFY(byHand.state() == QProcess::NotRunning || byHand.waitForFinished(10000));
        QCOMPARE(byHand.exitStatus(), QProcess::NormalExit);
        QCOMPARE(byHand.exitCode(), 0);
    }
}

void tst_OverlayBus::lostActivation()
{
    // Held here, with a window that stands in for an overlay on the report channel, the marker
    // makes the overlay that the bus starts a second instance: it ends with 0 without taking the name, and
    // the bus fails the sender's call when the start's time is up (3 s on the test's bus). The sender's one
    // retry then goes to an overlay started by hand after that failure. Taken by the program's own guard,
    // which also clears a segment abandoned under the same key.
    std::optional<InstanceGuard> guard(std::in_place);
    QCOMPARE(guard->acquire(), InstanceGuard::Result::Acquired);
    std::optional<XProbe> standIn(std::in_place);
    standIn->setProperty(ChannelNames::OverlayWindow, 1);
    standIn->takeSelection(ChannelNames::Report);
    QProcess monitor;
    monitor.start(QStringLiteral("dbus-monitor"), words("--session type='error'"));
    QByteArray seen;
    // A monitor loses its own name once it monitors.
    QTRY_VERIFY((seen += monitor.readAll()).contains("NameLost"));
    QProcess sender;
    sender.start(QStringLiteral(LUMIVANE_SEND), words("--via dbus 2 0 255 0"));
    QTRY_VERIFY_WITH_TIMEOUT((seen += monitor.readAll()).contains("Failed to activate service"), 20000);
    guard.reset();
    standIn.reset();
    QVERIFY(overlay.start());
    QVERIFY(sender.waitForFinished(20000));
    QCOMPARE(sender.exitCode(), 0);
    QTRY_VERIFY(overlay.wroteLines({"mode: 2 ,R: 0 ,G: 255 ,B: 0"}));
    QVERIFY(overlay.stop());
    monitor.kill();
    QVERIFY(monitor.waitForFinished(10000));
}

void tst_OverlayBus::takenName()
{
    // Another program holds the name: the overlay says so once and still takes X11 reports.
    QVERIFY(QDBusConnection::sessionBus().registerService(busName));
    QVERIFY(overlay.start());
    QCOMPARE(runSender(words("--via x11 3 0 0 9")), 0);
    QTRY_VERIFY(overlay.wroteLines({"mode: 3 ,R: 0 ,G: 0 ,B: 9"}));
    QCOMPARE(overlay.errorOutput().count("is taken on the session bus"), 1);
    // Let go, the name comes to the overlay, which says so, and reports come over the bus again.
    QVERIFY(QDBusConnection::sessionBus().unregisterService(busName));
    QTRY_COMPARE(nameOwner(), overlay.process.processId());
    QTRY_VERIFY(overlay.wroteLines({"lumivane.bus: org.lumivane.Overlay is ours now; reports arrive over the "
                                    "session bus too"}));
    QCOMPARE(busctlReport("0x01000000"), QByteArray("b true\n"));
    QVERIFY(overlay.stop());
}

void tst_OverlayBus::trayItem_data()
{
    // The installed theme's icons that the program finds, and the IconName its item gives.
    QTest::addColumn<QStringList>("icons");
    QTest::addColumn<QString>("iconName");
    const QString tray = QStringLiteral("lumivane-tray");
    QTest::newRow("installed") << QStringList {QStringLiteral("lumivane"), tray} << tray;
    QTest::newRow("none") << QStringList() << QString();
    // The theme's lookup would give this one for the tray's; the bundle's glyph goes instead.
    QTest::newRow("application icon alone") << QStringList {QStringLiteral("lumivane")} << QString();
}

// Under a panel's watcher the tray icon is a status-notifier item, shown under its Title and drawn
// from the icon theme by its IconName, or else from the pixmap it sends.
void tst_OverlayBus::trayItem()
{
    QFETCH(QStringList, icons);
    QFETCH(QString, iconName);
    QTemporaryDir data;
    const QString apps = QStringLiteral("/icons/hicolor/22x22/apps/");
    QVERIFY(QDir().mkpath(data.path() + apps));
    for (const QString &icon : qAsConst(icons)) {
        const QString file = apps + icon + QStringLiteral(".png");
        QVERIFY(QFile::copy(QStringLiteral(LUMIVANE_TEST_PREFIX "/share") + file, data.path() + file));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    environment.insert(QStringLiteral("XDG_DATA_DIRS"), data.path() + QStringLiteral(":/usr/share"));
    StatusNotifierWatcher watcher;
    QVERIFY(watcher.publish());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(installedProgram, QStringList());
    QTRY_COMPARE_WITH_TIMEOUT(watcher.items.size(), 1, 20000);
    QByteArray output;
    QCOMPARE(run(QStringLiteral("busctl --user get-property ") + watcher.items.constFirst() +
                     QStringLiteral(" /StatusNotifierItem org.kde.StatusNotifierItem Title IconName"),
                 &output),
        0);
    QCOMPARE(output, QStringLiteral("s \"Lumivane\"\ns \"%1\"\n").arg(iconName).toUtf8());
    program.terminate();
    QVERIFY(program.waitForFinished(20000));
}

void tst_OverlayBus::waylandPlatform()
{
    // Forced onto Wayland by the user, on a compositor without a layer shell, the overlay takes
    // reports over the bus alone, and its window, which Wayland gives no opacity, fades in its own
    // painting (without a warning at each frame).
    const QString socket = QStringLiteral("lumivane-wayland");
    QProcess weston;
    weston.start(QStringLiteral("weston"),
        {QStringLiteral("--backend=headless-backend.so"), QStringLiteral("--socket=") + socket,
            QStringLiteral("--idle-time=0"), QStringLiteral("--no-config")});
    QTRY_VERIFY(QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + socket));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), socket);
    // Sanitized, no leak check here: Wayland's client library, and a driver unloaded before the
    // check, keep what they allocate for the process's life. The X11 cases check the program's own.
    const QString sanitizer = QStringLiteral("ASAN_OPTIONS");
    if (environment.contains(sanitizer))
        environment.insert(sanitizer, environment.value(sanitizer) + QStringLiteral(":detect_leaks=0"));
    OverlayProcess onWayland;
    QVERIFY(onWayland.launch(environment));
    QTRY_COMPARE(nameOwner(), qint64(onWayland.process.processId()));
    QCOMPARE(busctlReport("0x02ff0000"), QByteArray("b true\n"));
    QTRY_VERIFY(onWayland.wroteLines({"mode: 2 ,R: 255 ,G: 0 ,B: 0"}));
    // Shown, and drawn in shared memory: neither Qt's EGL integration nor Mesa loaded.
    QFile maps(QStringLiteral("/proc/%1/maps").arg(onWayland.process.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY2(
        !mapped.contains("libEGL_mesa") && !mapped.contains("wayland-egl"), "Qt's EGL integration is loaded");
    QVERIFY2(onWayland.stop(), onWayland.errorOutput().constData());
    QVERIFY2(!onWayland.errorOutput().contains("does not support setting window opacity"),
        onWayland.errorOutput().constData());
    weston.terminate();
    QVERIFY(weston.waitForFinished(10000));
}

// sway tiles its windows: the overlay is no window of its tree, leaves the focus to the user's (xev),
// and lies centred. sway refuses root, XWayland strangers: as root, it all runs as nobody. With two
// outputs and a panel that reserves room (swaybar) the layer surface lies at the true centre of the
// output that has the focus. A second start beside the overlay ends at once with 0, having started
// no companion.
void tst_OverlayBus::onSway_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("tree");
    // The output focused before the start; none for one output and no panel.
    QTest::addColumn<QString>("focus");
    // Started on a connection handed to it (WAYLAND_SOCKET), as a compositor starts its own clients.
    QTest::addColumn<bool>("handed");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("xwayland");
    QTest::addColumn<SwayFault>("fault");
    const QString installed = QStringLiteral("installed");
    const SwayFault none = SwayFault::None;
    QTest::newRow("XWayland") << QStringLiteral("xcb") << installed << QString() << false
                              << QByteArray("xcb, as chosen by the user") << true << none;
    if (!LUMIVANE_LAYER_SHELL_INTEGRATION) {
        // Without the layer-shell integration the program takes XWayland, and says why: not that
        // the compositor offers no layer shell. The other rows are the layer surface's own.
        QTest::newRow("layer surface offered")
            << QString() << installed << QString() << false
            << QByteArray("X11 through XWayland: this build has no layer-shell integration") << true << none;
        return;
    }
    const QByteArray layerSurface("Wayland, a layer surface: the compositor offers one");
    QTest::newRow("layer surface") << QString() << installed << QString() << false << layerSurface << true
                                   << none;
    // The session's own bus then answers, as on a desktop; reports come over it.
    QTest::newRow("layer surface, no X server")
        << QString() << installed << QString() << false << layerSurface << false << none;
    QTest::newRow("first of two outputs, a panel")
        << QString() << installed << QStringLiteral("HEADLESS-1") << false << layerSurface << true << none;
    QTest::newRow("second of two outputs, a panel")
        << QString() << installed << QStringLiteral("HEADLESS-2") << false << layerSurface << true << none;
    QTest::newRow("from the build tree")
        << QString() << QStringLiteral("build") << QStringLiteral("HEADLESS-2") << false << layerSurface
        << true << none;
    QTest::newRow("handed socket")
        << QString() << installed << QStringLiteral("HEADLESS-2") << true
        << QByteArray(
               "Wayland on the connection handed to it, a layer surface where the compositor offers one")
        << true << none;
    // A hostile session: a slow, frozen or dead compositor, a hung XWayland, a dead bus.
    const auto hostile = [&](const char *name, SwayFault fault, bool xwayland = true) {
        QTest::newRow(name) << QString() << installed << QString() << false << layerSurface << xwayland
                            << fault;
    };
    hostile("compositor slow at the start", SwayFault::SlowAtStart);
    hostile("XWayland stopped", SwayFault::XWaylandStopped);
    hostile("XWayland killed", SwayFault::XWaylandKilled);
    hostile("compositor stopped, program terminated", SwayFault::StoppedWhileShown);
    hostile("sway stopped while shown", SwayFault::FrozenWhileShown, false);
    hostile("compositor killed", SwayFault::CompositorKilled);
    hostile("bus restarted", SwayFault::BusRestarted);
    hostile("bus restarted, no X", SwayFault::BusRestartedWithoutX, false);
}

void tst_OverlayBus::onSway()
{
    QFETCH(QString, platform);
    QFETCH(QString, tree);
    QFETCH(QString, focus);
    QFETCH(bool, handed);
    QFETCH(QByteArray, path);
    QFETCH(bool, xwayland);
    QFETCH(SwayFault, fault);
    QByteArray config("output * bg #ffffff solid_color\n");
    const bool twoOutputs = !focus.isEmpty();
    if (twoOutputs)
        config += "output HEADLESS-2 resolution 1024x768 position 1280 0\nbar {\n    position top\n}\n";
    HeadlessSway sway;
    QVERIFY2(
        sway.start(config, xwayland, twoOutputs ? 2 : 1), "sway does not start: run scripts/install-deps.sh");
    QProcessEnvironment environment = sway.environment();
    const QString home = environment.value(QStringLiteral("HOME"));
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    const auto start = [&sway](QProcess &process, const QStringList &command,
                           const QProcessEnvironment &environment) {
        sway.launch(process, command, environment);
    };
    const auto output = [&sway](const QStringList &command) { return sway.output(command); };
    // The user's window, on X.
    QProcess userWindow;
    userWindow.setStandardOutputFile(QProcess::nullDevice());
    if (xwayland)
        start(userWindow, {QStringLiteral("xev")}, environment);
    std::function<QString(const QJsonObject &)> focusedIn = [&focusedIn](const QJsonObject &node) {
        QString name =
            node[QLatin1String("focused")].toBool() ? node[QLatin1String("name")].toString() : QString();
        for (const QJsonValue child : node[QLatin1String("nodes")].toArray())
            name += focusedIn(child.toObject());
        return name;
    };
    const auto focused = [&output, &focusedIn] {
        return focusedIn(QJsonDocument::fromJson(
            output({QStringLiteral("swaymsg"), QStringLiteral("-t"), QStringLiteral("get_tree")}))
                             .object());
    };
    // Without X the user has no window here: the workspace keeps the focus.
    if (xwayland)
        QTRY_COMPARE_WITH_TIMEOUT(focused(), QStringLiteral("Event Tester"), 20000);
    if (twoOutputs) {
        // The panel on every output has reserved its room, and the user works on the output given.
        // Each workspace's own rectangle, not the decoration's, which sway gives at 0 as well.
        const auto panelsPlaced = [&output] {
            const QJsonArray workspaces = QJsonDocument::fromJson(
                output({QStringLiteral("swaymsg"), QStringLiteral("-t"), QStringLiteral("get_workspaces")}))
                                              .array();
            return workspaces.size() == 2 &&
                std::all_of(workspaces.begin(), workspaces.end(), [](const QJsonValue &workspace) {
                    return workspace[QLatin1String("rect")][QLatin1String("y")].toInt() > 0;
                });
        };
        QTRY_VERIFY_WITH_TIMEOUT(panelsPlaced(), 20000);
        QVERIFY(output({QStringLiteral("swaymsg"), QStringLiteral("focus"), QStringLiteral("output"), focus})
                    .contains("\"success\": true"));
    }
    const QString userFocus = focused();

    QProcessEnvironment programEnvironment = environment;
    if (!platform.isNull())
        programEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    // The program and its Wayland module, copied where nobody can read them (the build tree may lie
    // in a folder of root's alone): as installed, or at their places in the build tree.
    QString program = home + QStringLiteral("/bin/lumivane");
    if (tree == QLatin1String("build")) {
        const QString built = home + QStringLiteral("/build");
        program = built + QStringLiteral(LUMIVANE_PROGRAM).mid(int(qstrlen(LUMIVANE_BUILD_DIR)));
        for (const QString &file :
            {QStringLiteral(LUMIVANE_PROGRAM), QStringLiteral(LUMIVANE_WAYLAND_MODULE_FILE)}) {
            const QString copy = built + file.mid(int(qstrlen(LUMIVANE_BUILD_DIR)));
            QVERIFY(QDir().mkpath(QFileInfo(copy).path()) && QFile::copy(file, copy));
        }
    } else {
        QDirIterator installed(
            QStringLiteral(LUMIVANE_TEST_PREFIX), QDir::Files, QDirIterator::Subdirectories);
        while (installed.hasNext()) {
            const QString copy = home + installed.next().mid(int(qstrlen(LUMIVANE_TEST_PREFIX)));
            QVERIFY(QDir().mkpath(QFileInfo(copy).path()) && QFile::copy(installed.filePath(), copy));
        }
    }
    // Under faults, a companion beside the program that starts a child of its own: both end with
    // the program, however it ends.
    const QString companionRecord = home + QStringLiteral("/companion");
    if (fault != SwayFault::None) {
        QFile companion(QFileInfo(program).path() + QStringLiteral("/gattlink"));
        QVERIFY(companion.open(QIODevice::WriteOnly));
        companion.write("#!/bin/sh\n/bin/sleep 1000 &\necho \"$$ $!\" >\"$HOME/companion.tmp\"\n"
                        "mv \"$HOME/companion.tmp\" \"$HOME/companion\"\nwait\n");
        companion.close();
        QVERIFY(companion.setPermissions(companion.permissions() | QFile::ExeOwner | QFile::ExeGroup |
            QFile::ExeOther | QFile::ReadOther));
    }
    // The session's bus at the address the session names (XDG_RUNTIME_DIR/bus), where a fault
    // needs it.
    const bool withBus = !xwayland || fault == SwayFault::XWaylandStopped || fault == SwayFault::BusRestarted;
    const QString busSocket = runtime + QStringLiteral("/bus");
    QProcess busDaemon;
    const auto startBus = [&] {
        QFile::remove(busSocket);
        start(busDaemon,
            {QStringLiteral("dbus-daemon"), QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--address=unix:path=") + busSocket},
            environment);
        return busDaemon.waitForStarted() && QTest::qWaitFor([&] { return QFile::exists(busSocket); }, 20000);
    };
    // A call on the overlay's object, or a read of its property, answered within the seconds given.
    const auto onBus = [&output](const QStringList &call, int seconds = 10) {
        return output(QStringList {QStringLiteral("busctl"), QStringLiteral("--user"),
                          QStringLiteral("--timeout=%1").arg(seconds), call.first(), busName,
                          QStringLiteral("/org/lumivane/Overlay"), QStringLiteral("org.lumivane.Overlay1")} +
            call.mid(1));
    };
    const auto busReport = [&onBus](const char *parameter = "0x03000009", int seconds = 10) {
        return onBus(
            {QStringLiteral("call"), QStringLiteral("Report"), QStringLiteral("u"), QLatin1String(parameter)},
            seconds);
    };
    if (withBus)
        QVERIFY(startBus());
    qint64 stoppedX = 0;
    if (fault == SwayFault::XWaylandStopped) {
        QTRY_VERIFY_WITH_TIMEOUT(
            (stoppedX = xServerOf(environment.value(QStringLiteral("DISPLAY")))) > 0, 20000);
        QCOMPARE(::kill(pid_t(stoppedX), SIGSTOP), 0);
    }
    // Reports that keep the display up go over X11 where it answers.
    const bool viaX = xwayland && !stoppedX;
    const auto swayPid = pid_t(sway.processId());
    if (fault == SwayFault::SlowAtStart)
        QCOMPARE(::kill(swayPid, SIGSTOP), 0);
    // A connection of the compositor's own, handed over as an open socket, in place of its name.
    int handedSocket = -1;
    if (handed) {
        handedSocket = connectedSocket(
            runtime + QLatin1Char('/') + environment.value(QStringLiteral("WAYLAND_DISPLAY")));
        QVERIFY(handedSocket >= 0);
        programEnvironment.insert(QStringLiteral("WAYLAND_SOCKET"), QString::number(handedSocket));
        programEnvironment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }
    // Otherwise a companion that records its starts, where the program looks for it.
    const QString companions = home + QStringLiteral("/companions");
    if (fault == SwayFault::None) {
        QVERIFY(QFile::copy(QStringLiteral(LUMIVANE_TEST_FAKE_COMPANION),
            QFileInfo(program).path() + QStringLiteral("/gattlink")));
        environment.insert(QStringLiteral("GATTLINK_RECORD"), companions);
        programEnvironment.insert(QStringLiteral("GATTLINK_RECORD"), companions);
    }
    QProcess onSway;
    start(onSway, {program, QStringLiteral("-s")}, programEnvironment);
    QVERIFY(onSway.waitForStarted());
    if (handedSocket >= 0)
        ::close(handedSocket);
    if (fault == SwayFault::SlowAtStart) {
        // The pause is the fault itself, not a wait for the program.
        QTest::qWait(600);
        QCOMPARE(::kill(swayPid, SIGCONT), 0);
    }
    // Reports over the bus while XWayland is stopped.
    if (fault == SwayFault::XWaylandStopped)
        QTRY_COMPARE_WITH_TIMEOUT(busReport(), QByteArray("b true\n"), 20000);
    const auto screen = [&output] {
        return QImage::fromData(output({QStringLiteral("grim"), QStringLiteral("-")}), "PNG");
    };
    // The dark disc at the true centre of the focused output, the user's window (or the
    // background) around the ring, nothing on the other output. Each look comes after a report
    // in the shown mode with a dark colour, which shows the display for four more seconds, however
    // slowly the screenshots come.
    const QPoint first(640, 400);
    const QPoint second(1280 + 1024 / 2, 768 / 2);
    const QPoint centre = focus == QLatin1String("HEADLESS-2") ? second : first;
    int blue = 0;
    QImage shown;
    const auto shownAt = [&] {
        QProcess report;
        start(report,
            {QStringLiteral(LUMIVANE_SEND), QStringLiteral("--via"), QLatin1String(viaX ? "x11" : "dbus"),
                QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QString::number(++blue % 64)},
            environment);
        report.waitForFinished(20000);
        shown = screen();
        return discCentre(shown, centre);
    };
    // Within a pixel: the ring's antialiased edge is not drawn quite symmetrically. A panel's
    // reserved room would move the disc by half its height.
    // Timed by the clock: each look takes a screenshot, which QTRY's count of steps leaves out.
    const QDeadlineTimer deadline(60000);
    QPoint found = shownAt();
    while ((found - centre).manhattanLength() > 2 && !deadline.hasExpired())
        found = shownAt();
    QVERIFY2((found - centre).manhattanLength() <= 2,
        qPrintable(QStringLiteral("disc centred at %1,%2").arg(found.x()).arg(found.y())));
    QVERIFY(qGray(shown.pixel(centre + QPoint(110, 0))) > 192 &&
        qGray(shown.pixel(centre - QPoint(0, 110))) > 192);
    if (twoOutputs)
        QVERIFY(qGray(shown.pixel(centre == first ? second : first)) > 192);
    QCOMPARE(focused(), userFocus);
    QVERIFY(!output({QStringLiteral("swaymsg"), QStringLiteral("-t"), QStringLiteral("get_tree")})
                 .contains("umivane"));
    QByteArray errors;
    const auto said = [&errors, &onSway](const QByteArray &text) {
        return (errors += onSway.readAllStandardError()).contains(text);
    };
    // Companions that send over X11 reach it too, beside the layer surface through a connection of
    // its own; once a stopped XWayland goes on, the channel is taken then. Without X, the session
    // bus carries the report.
    const auto sent = [&](const char *via) {
        QProcess sender;
        start(sender,
            QStringList {QStringLiteral(LUMIVANE_SEND), QStringLiteral("--via"), QLatin1String(via)} +
                words("3 0 0 9"),
            environment);
        return sender.waitForFinished(20000) && sender.exitCode() == 0;
    };
    const auto sentOverX = [&sent] { return sent("x11"); };
    if (stoppedX)
        QCOMPARE(::kill(pid_t(stoppedX), SIGCONT), 0);
    if (xwayland)
        QVERIFY(stoppedX ? QTest::qWaitFor(sentOverX, 30000) : sentOverX());
    else
        QVERIFY(sent("dbus"));
    QTRY_VERIFY(said("mode: 3 ,R: 0 ,G: 0 ,B: 9"));

    if (fault == SwayFault::None) {
        QElapsedTimer sinceStart;
        sinceStart.start();
        QProcess secondStart;
        start(secondStart, {program, QStringLiteral("-s")}, environment);
        QVERIFY(secondStart.waitForFinished(20000));
        qInfo("The second start ended after %lld ms", sinceStart.elapsed());
        QCOMPARE(secondStart.exitStatus(), QProcess::NormalExit);
        QCOMPARE(secondStart.exitCode(), 0);
        QCOMPARE(secondStart.readAllStandardError(), QByteArray());
        QFile record(companions);
        QVERIFY(record.open(QIODevice::ReadOnly));
        QCOMPARE(record.readAll().count("start "), 1);
    }
    QList<qint64> companion;
    if (fault != SwayFault::None) {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(companionRecord), 20000);
        QFile record(companionRecord);
        QVERIFY(record.open(QIODevice::ReadOnly));
        for (const QByteArray &pid : record.readAll().trimmed().split(' '))
            companion << pid.toLongLong();
        QCOMPARE(companion.size(), 2);
    }
    const auto companionEnded = [&companion] {
        return std::all_of(companion.cbegin(), companion.cend(), processEnded);
    };
    switch (fault) {
    case SwayFault::StoppedWhileShown: {
        QCOMPARE(::kill(swayPid, SIGSTOP), 0);
        QElapsedTimer clock;
        clock.start();
        onSway.terminate();
        QVERIFY(onSway.waitForFinished(20000));
        const qint64 tookMs = clock.elapsed();
        QCOMPARE(onSway.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(companionEnded(), 20000);
        QVERIFY2(tookMs < 3000, qPrintable(QStringLiteral("ended after %1 ms").arg(tookMs)));
        QCOMPARE(::kill(swayPid, SIGCONT), 0);
        break;
    }
    case SwayFault::FrozenWhileShown: {
        QCOMPARE(::kill(swayPid, SIGSTOP), 0);
        // A new mode moves the display, whose frames soon wait for buffers that the stopped
        // compositor never gives back: the GUI thread waits on it.
        QCOMPARE(busReport("0x01000009", 3), QByteArray("b true\n"));
        QTRY_VERIFY_WITH_TIMEOUT(waitsOnDisplay(onSway.processId()), 20000);
        // The bus answers all the same; the report waits for the display.
        QCOMPARE(busReport("0x02000009", 3), QByteArray("b true\n"));
        QCOMPARE(busReport("0x07000009", 3), QByteArray("b false\n"));
        const QByteArray modeRead = onBus({QStringLiteral("get-property"), QStringLiteral("CurrentMode")}, 3);
        QVERIFY2(modeRead == "y 1\n" || modeRead == "y 3\n", modeRead.constData());
        QVERIFY(waitsOnDisplay(onSway.processId()));
        QVERIFY(!said("mode: 2 ,R: 0 ,G: 0 ,B: 9"));
        QCOMPARE(::kill(swayPid, SIGCONT), 0);
        QTRY_COMPARE_WITH_TIMEOUT(onBus({QStringLiteral("get-property"), QStringLiteral("CurrentMode")}),
            QByteArray("y 2\n"), 20000);
        QTRY_VERIFY(said("mode: 2 ,R: 0 ,G: 0 ,B: 9"));
        QCOMPARE(onSway.state(), QProcess::Running);
        break;
    }
    case SwayFault::CompositorKilled:
        QCOMPARE(::kill(swayPid, SIGKILL), 0);
        QVERIFY(onSway.waitForFinished(20000));
        QTRY_VERIFY_WITH_TIMEOUT(companionEnded(), 20000);
        break;
    case SwayFault::BusRestarted:
    case SwayFault::BusRestartedWithoutX:
        QCOMPARE(busReport(), QByteArray("b true\n"));
        busDaemon.kill();
        QVERIFY(busDaemon.waitForFinished(20000));
        QVERIFY(startBus());
        if (xwayland) {
            // The X11 channel remains: the overlay rejoins the bus at the session's address.
            QTRY_COMPARE_WITH_TIMEOUT(busReport(), QByteArray("b true\n"), 20000);
            QTRY_VERIFY(said("Back on the session bus"));
            QCOMPARE(onSway.state(), QProcess::Running);
        } else {
            // No channel left: the overlay ends, with its companion, rather than run on deaf (it may
            // have ended while the new bus started).
            QVERIFY(onSway.state() == QProcess::NotRunning || onSway.waitForFinished(20000));
            QCOMPARE(onSway.exitCode(), 1);
            QVERIFY(said("The session bus went away, and with it the last report channel; ending"));
            QTRY_VERIFY_WITH_TIMEOUT(companionEnded(), 20000);
        }
        break;
    case SwayFault::XWaylandKilled: {
        // The X11 channel goes with its server and comes back with the next one, one line each way.
        const qint64 xServer = xServerOf(environment.value(QStringLiteral("DISPLAY")));
        QVERIFY(xServer > 0);
        QCOMPARE(::kill(pid_t(xServer), SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(said("The X server went away; reports over X11 end here"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(said("The X server is back; reports over X11 again"), 30000);
        QVERIFY(QTest::qWaitFor(sentOverX, 30000));
        QTRY_VERIFY(said(QByteArray()) && errors.count("mode: 3 ,R: 0 ,G: 0 ,B: 9") == 2);
        QCOMPARE(onSway.state(), QProcess::Running);
        break;
    }
    case SwayFault::None:
    case SwayFault::SlowAtStart:
    case SwayFault::XWaylandStopped:
        break;
    }
    said(QByteArray());
    onSway.terminate();
    userWindow.terminate();
    busDaemon.terminate();
    QVERIFY(busDaemon.waitForFinished(20000) || busDaemon.state() == QProcess::NotRunning);
    QVERIFY(onSway.waitForFinished(20000) || onSway.state() == QProcess::NotRunning);
    QVERIFY(sway.stop());
    QVERIFY(userWindow.waitForFinished(20000) || userWindow.state() == QProcess::NotRunning);
    QTRY_VERIFY_WITH_TIMEOUT(companionEnded(), 20000);
    // The display line comes first, after a warning about an instance marker that a program killed
    // earlier on this machine may have left behind.
    const int displayLine = errors.indexOf("lumivane.display: ");
    const QList<QByteArray> before = errors.left(qMax(displayLine, 0)).split('\n');
    QVERIFY2(displayLine >= 0 &&
            errors.mid(displayLine).startsWith(QByteArray("lumivane.display: " + path + '\n')) &&
            std::all_of(before.cbegin(), before.cend(),
                [](const QByteArray &line) {
                    return line.isEmpty() || line.startsWith("lumivane.instance: ");
                }),
        errors.constData());
    QCOMPARE(errors.count("lumivane.display: "), 1);
}

void tst_OverlayBus::calls_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("exitCode");
    // What the client prints, as a pattern.
    QTest::addColumn<QString>("answer");
    // Reports sent with lumivane-send while the command (a monitor) runs, for the signals it sees.
    QTest::addColumn<QStringList>("reports");
    // Whether the command shows the overlay: the first row's does, on an overlay still hidden.
    QTest::addColumn<bool>("shows");

    const QString object =
        QStringLiteral(" org.lumivane.Overlay /org/lumivane/Overlay org.lumivane.Overlay1 ");
    const QString busctl = QStringLiteral("busctl --user call") + object;
    const QString property = object + QStringLiteral("CurrentMode");
    const QString gdbus =
        QStringLiteral("gdbus call --session -d org.lumivane.Overlay -o /org/lumivane/Overlay -m ");
    const QString monitor =
        QStringLiteral("gdbus monitor --session -d org.lumivane.Overlay -o /org/lumivane/Overlay");
    const QString unknownMethod = QStringLiteral("org\\.freedesktop\\.DBus\\.Error\\.UnknownMethod");
    const QString invalidArgs = QStringLiteral("org\\.freedesktop\\.DBus\\.Error\\.InvalidArgs");
    const QString application =
        QStringLiteral(" org.lumivane.Overlay /org/lumivane/Overlay org.freedesktop.Application ");
    const QStringList none;

    QTest::newRow("Show") << busctl + QStringLiteral("Show") << 0 << QStringLiteral("^$") << none << true;
    QTest::newRow("introspection") << QStringLiteral("busctl --user introspect") + object << 0
                                   << QStringLiteral(
                                          "\\.Report +method +u +b +-\\n\\.Show +method +- +- +-\\n"
                                          "\\.CurrentMode +property +y +\\d+ +emits-change\\n")
                                   << none << false;
    QTest::newRow("Report, mode 2") << busctl + QStringLiteral("Report u 0x02ff0000") << 0
                                    << QStringLiteral("^b true\\n$") << none << false;
    QTest::newRow("CurrentMode after it") << QStringLiteral("busctl --user get-property") + property << 0
                                          << QStringLiteral("^y 2\\n$") << none << false;
    QTest::newRow("Report, mode 4") << gdbus + QStringLiteral("org.lumivane.Overlay1.Report 0x04000000") << 0
                                    << QStringLiteral("^\\(false,\\)\\n$") << none << false;
    QTest::newRow("mode 4 changes nothing")
        << gdbus + QStringLiteral("org.freedesktop.DBus.Properties.Get org.lumivane.Overlay1 CurrentMode")
        << 0 << QStringLiteral("^\\(<byte 0x02>,\\)\\n$") << none << false;
    QTest::newRow("Report, wrong signature")
        << busctl + QStringLiteral("Report s 2") << 1
        << QStringLiteral("No such method 'Report' in interface 'org.lumivane.Overlay1' .*signature 's'")
        << none << false;
    QTest::newRow("Report, no argument")
        << gdbus + QStringLiteral("org.lumivane.Overlay1.Report") << 1 << unknownMethod << none << false;
    QTest::newRow("unknown method") << gdbus + QStringLiteral("org.lumivane.Overlay1.Hide") << 1
                                    << unknownMethod << none << false;
    QTest::newRow("unknown property")
        << gdbus + QStringLiteral("org.freedesktop.DBus.Properties.Get org.lumivane.Overlay1 Mode") << 1
        << QStringLiteral("org\\.freedesktop\\.DBus\\.Error\\.UnknownProperty") << none << false;
    QTest::newRow("CurrentMode is read-only")
        << QStringLiteral("busctl --user set-property") + property + QStringLiteral(" y 1") << 1
        << QStringLiteral("read-only") << none << false;
    QTest::newRow("launchers' interface")
        << QStringLiteral("busctl --user introspect") + application << 0
        << QStringLiteral(
               "\\.Activate +method +a\\{sv\\} +- +-\\n\\.ActivateAction +method +sava\\{sv\\} +- +-\\n"
               "\\.Open +method +asa\\{sv\\} +- +-\\n")
        << none << false;
    QStringList actions;
    for (const char *action : ChannelNames::DesktopActions)
        actions << QLatin1String(action);
    // From the installed menu entry, which launchers read; the program's own list is its twin.
    QTest::newRow("the entry's actions")
        << QStringLiteral("env XDG_DATA_DIRS=" LUMIVANE_TEST_PREFIX "/share PATH=" LUMIVANE_TEST_PREFIX
                          "/bin:/usr/bin:/bin gapplication list-actions "
                          "org.lumivane.Overlay")
        << 0 << QStringLiteral("^%1\\n$").arg(actions.join(QStringLiteral("\\n"))) << none << false;
    QTest::newRow("unknown action") << QStringLiteral("busctl --user call") + application +
            QStringLiteral("ActivateAction sava{sv} hide 0 0")
                                    << 1
                                    << QStringLiteral(
                                           "no action \"hide\": the overlay's are show, update, quit")
                                    << none << false;
    QTest::newRow("unknown action's error")
        << gdbus + QStringLiteral("org.freedesktop.Application.ActivateAction hide [] {}") << 1 << invalidArgs
        << none << false;
    QTest::newRow("action with a parameter")
        << gdbus + QStringLiteral("org.freedesktop.Application.ActivateAction quit [<true>] {}") << 1
        << invalidArgs + QStringLiteral(": the action \"quit\" takes no parameter") << none << false;
    QTest::newRow("Open") << gdbus +
            QStringLiteral("org.freedesktop.Application.Open ['file:///tmp/a.png'] {}")
                          << 1 << QStringLiteral("org\\.freedesktop\\.DBus\\.Error\\.NotSupported") << none
                          << false;
    QTest::newRow("PropertiesChanged")
        << monitor << 0
        << QStringLiteral(
               "PropertiesChanged \\('org\\.lumivane\\.Overlay1', \\{'CurrentMode': <byte 0x03>\\}")
        << QStringList {QStringLiteral("0x03000000")} << false;
    QTest::newRow("none for the same mode")
        << monitor << 0 << QStringLiteral("\\A(?:(?!PropertiesChanged).)*PropertiesChanged[^\\n]*<byte 0x01>")
        << QStringList {QStringLiteral("0x03ff0000"), QStringLiteral("0x01000000")} << false;
}

void tst_OverlayBus::calls()
{
    QFETCH(QString, command);
    QFETCH(int, exitCode);
    QFETCH(QString, answer);
    QFETCH(QStringList, reports);
    QFETCH(bool, shows);

    QVERIFY(overlayOnBus());
    const QRegularExpression pattern(answer, QRegularExpression::DotMatchesEverythingOption);
    QByteArray output;
    if (reports.isEmpty()) {
        QCOMPARE(run(command, &output), exitCode);
        QVERIFY2(pattern.match(QString::fromUtf8(output)).hasMatch(), output.constData());
    } else {
        // The monitor says who owns the name once its match rule is in place at the bus.
        QProcess monitor;
        QStringList arguments = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        monitor.start(arguments.takeFirst(), arguments);
        QTRY_VERIFY((output += monitor.readAll()).contains("is owned by"));
        for (const QString &report : qAsConst(reports))
            QCOMPARE(runSender({QStringLiteral("--raw"), report}), 0);
        QTRY_VERIFY2(
            pattern.match(QString::fromUtf8(output += monitor.readAll())).hasMatch(), output.constData());
        monitor.terminate();
        QVERIFY(monitor.waitForFinished(10000));
    }
    if (shows)
        QTRY_VERIFY(overlayViewable());
    QCOMPARE(overlay.process.state(), QProcess::Running);
}

void tst_OverlayBus::interfaceFile()
{
    // What the running overlay tells of its interface is the installed file's interface, with the
    // name that the clients call.
    QVERIFY(overlayOnBus());
    QByteArray introspected;
    QCOMPARE(run(QStringLiteral(
                     "gdbus introspect --session --xml -d org.lumivane.Overlay -o /org/lumivane/Overlay"),
                 &introspected),
        0);
    QFile installed(
        QStringLiteral(LUMIVANE_TEST_PREFIX "/share/dbus-1/interfaces/org.lumivane.Overlay1.xml"));
    QVERIFY(installed.open(QIODevice::ReadOnly));
    const QString interface = QLatin1String(ChannelNames::BusInterface);
    const QStringList exported = interfaceOutline(introspected, interface);
    QVERIFY2(exported.size() > 1, introspected.constData());
    QCOMPARE(exported, interfaceOutline(installed.readAll(), interface));
}

void tst_OverlayBus::launchers_data()
{
    QTest::addColumn<QString>("command");
    // Whether an overlay runs before the command; it has a companion.
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("outcome");

    const QString entry =
        QStringLiteral(LUMIVANE_TEST_PREFIX "/share/applications/org.lumivane.Overlay.desktop");
    // Launchers skip an entry whose TryExec is not on PATH, as the installed program is.
    const QString gioLaunch =
        QStringLiteral("env PATH=" LUMIVANE_TEST_PREFIX "/bin:/usr/bin:/bin gio launch ") + entry;
    const QString send = QStringLiteral(LUMIVANE_SEND " --action ");
    const QString gapplicationLaunch = QStringLiteral("gapplication launch org.lumivane.Overlay");
    // Activate over the bus, as GNOME Shell launches the entry it knows by its name.
    QTest::newRow("gapplication launch") << gapplicationLaunch << true << 0 << int(Shows);
    QTest::newRow("gapplication launch, none runs") << gapplicationLaunch << false << 0 << int(Shows);
    // gio reads the file as a bare key file, which it runs by its Exec line.
    QTest::newRow("gio launch, none runs") << gioLaunch << false << 0 << int(Shows);
    QTest::newRow("gio launch, no bus")
        << QStringLiteral("env DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/lumivane-no-bus ") + gioLaunch
        << false << 0 << int(Shows);
    QTest::newRow("gapplication action show")
        << QStringLiteral("gapplication action org.lumivane.Overlay show") << true << 0 << int(Shows);
    QTest::newRow("Activate with platform data")
        << QStringLiteral("gdbus call --session -d org.lumivane.Overlay -o /org/lumivane/Overlay -m "
                          "org.freedesktop.Application.Activate "
                          "{'desktop-startup-id':<'lumivane-test'>,'activation-token':<'token'>}")
        << true << 0 << int(Shows);
    QTest::newRow("lumivane-send show") << send + QStringLiteral("show") << true << 0 << int(Shows);
    QTest::newRow("gapplication action update")
        << QStringLiteral("gapplication action org.lumivane.Overlay update") << true << 0 << int(OpensPage);
    QTest::newRow("gapplication action quit")
        << QStringLiteral("gapplication action org.lumivane.Overlay quit") << true << 0 << int(Quits);
    QTest::newRow("lumivane-send quit") << send + QStringLiteral("quit") << true << 0 << int(Quits);
    // Asked of the running overlay only: nothing is started.
    QTest::newRow("lumivane-send show, none runs")
        << send + QStringLiteral("show") << false << 3 << int(StartsNone);
    QTest::newRow("lumivane-send quit, none runs")
        << send + QStringLiteral("quit") << false << 3 << int(StartsNone);
}

// What launchers do with the installed menu entry (DBusActivatable) and its actions.
void tst_OverlayBus::launchers()
{
    QFETCH(QString, command);
    QFETCH(bool, running);
    QFETCH(int, exitCode);
    QFETCH(int, outcome);

    if (overlay.process.state() == QProcess::Running)
        QVERIFY(overlay.stop());
    QVERIFY(stopOwner());
    OverlayProcess byHand;
    QFile companionPid(byHand.folderPath() + QStringLiteral("/gattlink.pid"));
    // The desktop's opener of web pages, which writes down what it is given; in a folder without
    // a blank, which Qt's start of it would split at.
    QTemporaryDir openerFolder;
    const QString opened = openerFolder.filePath(QStringLiteral("opened"));
    QFile opener(openerFolder.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly) &&
        opener.write(
            "#!/bin/sh\necho \"$1\" >\"$0.tmp\"; mv \"$0.tmp\" " + QFile::encodeName(opened) + "\n") > 0);
    opener.close();
    QVERIFY(opener.setPermissions(opener.permissions() | QFile::ExeOwner));
    if (running) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"),
            openerFolder.path() + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
        QVERIFY(byHand.addCompanion("echo $$ > \"$0.pid\"; exec /bin/sleep 1000\n"));
        QVERIFY(byHand.start(environment));
        QTRY_COMPARE(nameOwner(), byHand.process.processId());
        QTRY_VERIFY(companionPid.exists() && companionPid.size() > 0);
        QVERIFY(!overlayViewable());
    }
    // To a file: a program that the launcher starts keeps writing to it after the launcher ended.
    QTemporaryFile said;
    QVERIFY(said.open());
    QProcess launcher;
    launcher.setProcessChannelMode(QProcess::MergedChannels);
    launcher.setStandardOutputFile(said.fileName());
    QStringList arguments = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    launcher.start(arguments.takeFirst(), arguments);
    QVERIFY(launcher.waitForFinished(30000));
    const QByteArray output = said.readAll();
    QVERIFY2(
        launcher.exitStatus() == QProcess::NormalExit && launcher.exitCode() == exitCode, output.constData());
    if (outcome == Quits) {
        QVERIFY(companionPid.open(QIODevice::ReadOnly));
        const QString companion =
            QStringLiteral("/proc/") + QString::fromLatin1(companionPid.readAll().trimmed());
        QVERIFY(byHand.process.state() == QProcess::NotRunning || byHand.process.waitForFinished(20000));
        QCOMPARE(byHand.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(byHand.process.exitCode(), 0);
        QVERIFY2(!QFileInfo::exists(companion), qPrintable(companion));
    } else if (outcome == OpensPage) {
        QFile page(opened);
        QTRY_VERIFY2(page.exists(), byHand.errorOutput().constData());
        QVERIFY(page.open(QIODevice::ReadOnly));
        QVERIFY(page.readAll().endsWith("/support.html\n"));
        QVERIFY(!overlayViewable());
        QCOMPARE(byHand.process.state(), QProcess::Running);
    } else if (outcome == Shows) {
        QTRY_VERIFY_WITH_TIMEOUT(overlayViewable(), 20000);
        QCOMPARE(instances(), running ? 0 : 1);
        if (running)
            QCOMPARE(byHand.process.state(), QProcess::Running);
    } else {
        QVERIFY2(output.contains("no overlay runs on the session bus"), output.constData());
        QCOMPARE(nameOwner(), 0);
        QCOMPARE(instances(), 0);
    }
    if (byHand.process.state() == QProcess::Running)
        QVERIFY(byHand.stop());
    QVERIFY(stopOwner());
}

void tst_OverlayBus::flood()
{
    // As fast as a client sends them: every call is answered, and so is one sent after them. The
    // waits only catch a hang: a loaded or sanitized run takes many seconds for the lot.
    constexpr int Calls = 10000;
    constexpr int Patience = 120000;
    QVERIFY(overlayOnBus());
    const int logged = overlay.errorOutput().count("\nmode: ");
    QVector<QDBusPendingCall> answers;
    for (int i = 0; i < Calls; ++i) {
        QDBusMessage call = QDBusMessage::createMethodCall(busName, QLatin1String(ChannelNames::BusPath),
            QLatin1String(ChannelNames::BusInterface), QStringLiteral("Report"));
        answers.append(QDBusConnection::sessionBus().asyncCall(
            call << (quint32(i % 5) << 24 | quint32(i & 0xff)), Patience));
    }
    QCOMPARE(busctlReport("0x01000000"), QByteArray("b true\n"));
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(answers.cbegin(), answers.cend(),
                                 [](const QDBusPendingCall &answer) {
                                     return answer.isFinished() &&
                                         answer.reply().type() == QDBusMessage::ReplyMessage;
                                 }),
        Patience);
    QTRY_COMPARE_WITH_TIMEOUT(overlay.errorOutput().count("\nmode: "), logged + Calls + 1, Patience);
    QCOMPARE(overlay.process.state(), QProcess::Running);
}

QTEST_MAIN(tst_OverlayBus)
#include "tst_overlaybus.moc"
