#include "app/InstanceGuard.h"
#include "channel/ChannelNames.h"
#include "support/HeadlessSway.h"
#include "support/OverlayProcess.h"
#include "support/StatusNotifierWatcher.h"
#include "support/TestFiles.h"
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
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>
#include <csignal>
#include <functional>
#include <optional>
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

} // namespace

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
    QVERIFY2(onWayland.stop(), onWayland.errorOutput().constData());
    QVERIFY2(!onWayland.errorOutput().contains("does not support setting window opacity"),
        onWayland.errorOutput().constData());
    weston.terminate();
    QVERIFY(weston.waitForFinished(10000));
}

// sway tiles its windows: the overlay is no window of its tree, leaves the focus to the user's (xev),
// and lies centred. With two
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
    const QString installed = QStringLiteral("installed");
    const QByteArray layerSurface("Wayland, a layer surface: the compositor offers one");
    QTest::newRow("layer surface") << QString() << installed << QString() << false << layerSurface << true;
    QTest::newRow("XWayland") << QStringLiteral("xcb") << installed << QString() << false
                              << QByteArray("xcb, as chosen by the user") << true;
    // The session's own bus then answers, as on a desktop; reports come over it.
    QTest::newRow("layer surface, no X server")
        << QString() << installed << QString() << false << layerSurface << false;
    QTest::newRow("first of two outputs, a panel")
        << QString() << installed << QStringLiteral("HEADLESS-1") << false << layerSurface << true;
    QTest::newRow("from the build tree") << QString() << QStringLiteral("build")
                                         << QStringLiteral("HEADLESS-2") << false << layerSurface << true;
    QTest::newRow("handed socket")
        << QString() << installed << QStringLiteral("HEADLESS-2") << true
        << QByteArray(
               "Wayland on the connection handed to it, a layer surface where the compositor offers one")
        << true;
}

void tst_OverlayBus::onSway()
{
    QFETCH(QString, platform);
    QFETCH(QString, tree);
    QFETCH(QString, focus);
    QFETCH(bool, handed);
    QFETCH(QByteArray, path);
    QFETCH(bool, xwayland);
    const bool twoOutputs = !focus.isEmpty();
    HeadlessSway sway;
    QVERIFY(sway.start(QByteArray("output * bg #ffffff solid_color\n") + (xwayland ? "exec xev\n" : "") +
            (twoOutputs
                    ? "output HEADLESS-2 resolution 1024x768 position 1280 0\nbar {\n    position top\n}\n"
                    : ""),
        xwayland, twoOutputs ? 2 : 1));
    QProcessEnvironment environment = sway.environment();
    const QString home = environment.value(QStringLiteral("HOME"));
    const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
    std::function<QString(const QJsonObject &)> focusedIn = [&focusedIn](const QJsonObject &node) {
        QString name =
            node[QLatin1String("focused")].toBool() ? node[QLatin1String("name")].toString() : QString();
        for (const QJsonValue child : node[QLatin1String("nodes")].toArray())
            name += focusedIn(child.toObject());
        return name;
    };
    const auto focused = [&sway, &focusedIn] {
        return focusedIn(QJsonDocument::fromJson(
            sway.output({QStringLiteral("swaymsg"), QStringLiteral("-t"), QStringLiteral("get_tree")}))
                             .object());
    };
    if (xwayland)
        QTRY_COMPARE_WITH_TIMEOUT(focused(), QStringLiteral("Event Tester"), 20000);
    if (twoOutputs) {
        // The panel on every output has reserved its room, and the user works on the output given.
        const auto panelsUp = [&sway] {
            const QJsonArray workspaces = QJsonDocument::fromJson(
                sway.output(
                    {QStringLiteral("swaymsg"), QStringLiteral("-t"), QStringLiteral("get_workspaces")}))
                                              .array();
            return workspaces.size() == 2 &&
                std::all_of(workspaces.begin(), workspaces.end(), [](const QJsonValue &workspace) {
                    return workspace[QLatin1String("rect")][QLatin1String("y")].toInt() > 0;
                });
        };
        QTRY_VERIFY_WITH_TIMEOUT(panelsUp(), 20000);
        QVERIFY(
            sway.output({QStringLiteral("swaymsg"), QStringLiteral("focus"), QStringLiteral("output"), focus})
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
    // A connection of the compositor's own, handed over as an open socket, in place of its name.
    int handedSocket = -1;
    if (handed) {
        QLocalSocket connection;
        connection.connectToServer(
            runtime + QLatin1Char('/') + environment.value(QStringLiteral("WAYLAND_DISPLAY")));
        QVERIFY(connection.waitForConnected());
        // A copy, which stays open across the program's start, as Qt's own does not.
        handedSocket = ::dup(int(connection.socketDescriptor()));
        QVERIFY(handedSocket >= 0);
        programEnvironment.insert(QStringLiteral("WAYLAND_SOCKET"), QString::number(handedSocket));
        programEnvironment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }
    // A companion that records its starts, where the program looks for it.
    const QString companions = home + QStringLiteral("/companions");
    QVERIFY(QFile::copy(QStringLiteral(LUMIVANE_TEST_FAKE_COMPANION),
        QFileInfo(program).path() + QStringLiteral("/gattlink")));
    environment.insert(QStringLiteral("GATTLINK_RECORD"), companions);
    programEnvironment.insert(QStringLiteral("GATTLINK_RECORD"), companions);
    QProcess bus;
    if (!xwayland) {
        sway.launch(bus,
            QStringList {QStringLiteral("dbus-daemon"), QStringLiteral("--session"),
                QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                QStringLiteral("--address=unix:path=") + runtime + QStringLiteral("/bus")},
            environment);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(runtime + QStringLiteral("/bus")), 20000);
    }
    QProcess onSway;
    sway.launch(onSway, {program, QStringLiteral("-s")}, programEnvironment);
    QVERIFY(onSway.waitForStarted());
    if (handedSocket >= 0)
        ::close(handedSocket);
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
        sway.launch(report,
            {QStringLiteral(LUMIVANE_SEND), QStringLiteral("--via"), QLatin1String(xwayland ? "x11" : "dbus"),
                QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QString::number(++blue % 64)},
            environment);
        report.waitForFinished(20000);
        shown = sway.screen();
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
    QVERIFY(!sway.output({QStringLiteral("swaymsg"), QStringLiteral("-t"), QStringLiteral("get_tree")})
                 .contains("umivane"));
    // Companions that send over X11 reach it too, beside the layer surface through a connection of its
    // own; without X, the session bus carries the report.
    const auto send = [&] {
        QProcess sender;
        sway.launch(sender,
            QStringList {QStringLiteral(LUMIVANE_SEND)} +
                words(xwayland ? "--via x11 3 0 0 9" : "--via dbus 3 0 0 9"),
            environment);
        return sender.waitForFinished(20000) ? sender.exitCode() : -1;
    };
    QTRY_COMPARE_WITH_TIMEOUT(send(), 0, 20000);
    QByteArray errors;
    QTRY_VERIFY((errors += onSway.readAllStandardError()).contains("mode: 3 ,R: 0 ,G: 0 ,B: 9"));

    QElapsedTimer sinceStart;
    sinceStart.start();
    QProcess secondStart;
    sway.launch(secondStart, {program, QStringLiteral("-s")}, environment);
    QVERIFY(secondStart.waitForFinished(20000));
    qInfo("The second start ended after %lld ms", sinceStart.elapsed());
    QCOMPARE(secondStart.exitStatus(), QProcess::NormalExit);
    QCOMPARE(secondStart.exitCode(), 0);
    QCOMPARE(secondStart.readAllStandardError(), QByteArray());
    QFile record(companions);
    QVERIFY(record.open(QIODevice::ReadOnly));
    QCOMPARE(record.readAll().count("start "), 1);

    onSway.terminate();
    QVERIFY(onSway.waitForFinished(20000));
    if (bus.state() != QProcess::NotRunning) {
        bus.terminate();
        QVERIFY(bus.waitForFinished(20000));
    }
    // One line says which display was taken (a warning about the instance marker may come first,
    // where stale semaphores of other users block its key).
    const QList<QByteArray> lines = errors.split('\n');
    QVERIFY2(lines.contains("lumivane.display: " + path), errors.constData());
    QCOMPARE(std::count_if(lines.begin(), lines.end(),
                 [](const QByteArray &line) { return line.startsWith("lumivane.display:"); }),
        1);
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
    QTest::newRow("unknown action") << gdbus +
            QStringLiteral("org.freedesktop.Application.ActivateAction hide [] {}")
                                    << 1
                                    << invalidArgs +
            QStringLiteral(": no action \"hide\": the overlay's are show, update, quit")
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
    QVERIFY(TestFiles::writeScript(openerFolder.filePath(QStringLiteral("xdg-open")),
        "echo \"$1\" >\"$0.tmp\"; mv \"$0.tmp\" " + QFile::encodeName(opened) + "\n"));
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
        const QString companion = QStringLiteral("/proc/") +
            QString::fromLatin1(TestFiles::readAll(companionPid.fileName()).trimmed());
        QVERIFY(byHand.process.state() == QProcess::NotRunning || byHand.process.waitForFinished(20000));
        QCOMPARE(byHand.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(byHand.process.exitCode(), 0);
        QVERIFY2(!QFileInfo::exists(companion), qPrintable(companion));
    } else if (outcome == OpensPage) {
        QTRY_VERIFY2(QFile::exists(opened), byHand.errorOutput().constData());
        QVERIFY(TestFiles::readAll(opened).endsWith("/support.html\n"));
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
