#include "channel/ChannelNames.h"
#include "support/OverlayProcess.h"
#include "support/XProbe.h"

#include <QtTest>

#include <QLocalServer>

#include <algorithm>
#include <csignal>
#include <optional>

namespace {

constexpr int ReportTimeoutMs = 30000;
const QByteArray Channel(ChannelNames::Report);

// How the overlay could lose its report channel.
enum class ChannelLoss { CloseRequest, TakenAndReleased, TakenByClientThatQuits, TakenInLoop };

} // namespace

Q_DECLARE_METATYPE(ChannelLoss)

// The program and lumivane-send as two processes on one X server, as a user runs them.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void reportShowsHiddenOverlay();
    void ignoredModesShowNothing();
    void senderWithoutOverlay_data();
    void senderWithoutOverlay();
    void senderRejectsBadInput_data();
    void senderRejectsBadInput();
    void waylandSessionRunsOnX11_data();
    void waylandSessionRunsOnX11();
    void withoutDisplay_data();
    void withoutDisplay();
    void channelOutlivesLoss_data();
    void channelOutlivesLoss();
    void channelTakenByAnotherOverlay();
    void displayAtDensity_data();
    void displayAtDensity();

private:
    XProbe probe;
};

void tst_EndToEnd::initTestCase()
{
    QVERIFY(probe.isConnected());
}

void tst_EndToEnd::reportShowsHiddenOverlay()
{
    OverlayProcess overlay;
    QVERIFY(overlay.start());
    const xcb_window_t window = probe.selectionOwner(Channel);
    QVERIFY(probe.syncWithOwner(Channel, ReportTimeoutMs));
    QVERIFY(!probe.isViewable(window));

    QByteArray senderErrors;
    QCOMPARE(runSender(words("2 255 0 0"), &senderErrors), 0);
    QCOMPARE(senderErrors, QByteArray());
    QTRY_VERIFY_WITH_TIMEOUT(overlay.wroteLines({"mode: 2 ,R: 255 ,G: 0 ,B: 0"}), ReportTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(probe.isViewable(window), ReportTimeoutMs);
    QCOMPARE(probe.geometry(window).size(), QSize(176, 176));
    QVERIFY(overlay.stop());
    QCOMPARE(overlay.process.exitCode(), 0);
}

void tst_EndToEnd::ignoredModesShowNothing()
{
    OverlayProcess overlay;
    QVERIFY(overlay.start());
    const xcb_window_t window = probe.selectionOwner(Channel);

    QCOMPARE(runSender(words("4 0 0 0")), 0);
    QCOMPARE(runSender(words("--raw 0xFF102030")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(
        overlay.wroteLines({"mode: 4 ,R: 0 ,G: 0 ,B: 0", "mode: 255 ,R: 16 ,G: 32 ,B: 48"}), ReportTimeoutMs);
    QVERIFY(probe.syncWithOwner(Channel, ReportTimeoutMs));
    QVERIFY(!probe.isViewable(window));
    QVERIFY(overlay.stop());
}

void tst_EndToEnd::senderWithoutOverlay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("strangerHolds");
    QTest::addColumn<bool>("serverStopped");
    QTest::addColumn<QByteArray>("line");
    const QByteArray none("no overlay is running");
    QTest::newRow("nobody holds the channel") << words("1 0 0 0") << false << false << none;
    // A client that is no overlay would take the report and drop it.
    QTest::newRow("a stranger holds the channel") << words("--via x11 1 0 0 0") << true << false << none;
    // It takes the connection and never answers, as a stopped XWayland: the sender gives up, in
    // one line.
    QTest::newRow("X server stopped") << words("--via x11 1 0 0 0") << false << true
                                      << QByteArray("the X display \":%1\" does not answer (waited 3 s)\n");
}

void tst_EndToEnd::senderWithoutOverlay()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, strangerHolds);
    QFETCH(bool, serverStopped);
    QFETCH(QByteArray, line);
    QCOMPARE(probe.selectionOwner(Channel), XCB_WINDOW_NONE);
    std::optional<XProbe> stranger;
    if (strangerHolds) {
        stranger.emplace();
        stranger->takeSelection(Channel);
        QCOMPARE(probe.selectionOwner(Channel), stranger->window());
    }
    QProcess server;
    const QByteArray display = qgetenv("DISPLAY");
    const auto restore = qScopeGuard([&] {
        qputenv("DISPLAY", display);
        server.kill();
        server.waitForFinished();
    });
    if (serverStopped) {
        server.start(QStringLiteral("Xvfb"), words("-displayfd 1 -nolisten tcp"));
        QVERIFY(server.waitForStarted() && server.waitForReadyRead(ReportTimeoutMs));
        const QByteArray number = server.readAllStandardOutput().trimmed();
        QCOMPARE(::kill(pid_t(server.processId()), SIGSTOP), 0);
        qputenv("DISPLAY", ':' + number);
        line.replace("%1", number);
    }
    QByteArray errors;
    QCOMPARE(runSender(arguments, &errors), 3);
    QVERIFY2(serverStopped ? errors == "lumivane-send: " + line
                           : errors.startsWith(QByteArray("lumivane-send: " + line)),
        errors.constData());
}

void tst_EndToEnd::senderRejectsBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("colour out of range") << words("2 256 0 0");
    QTest::newRow("raw parameter too wide") << words("--raw 0x100000000");
}

void tst_EndToEnd::senderRejectsBadInput()
{
    QFETCH(QStringList, arguments);
    // An overlay runs, so only the arguments can be at fault.
    OverlayProcess overlay;
    QVERIFY(overlay.start());
    QByteArray errors;
    QCOMPARE(runSender(arguments, &errors), 2);
    QVERIFY2(errors.startsWith("lumivane-send: ") && errors.contains("usage: lumivane-send MODE R G B"),
        errors.constData());
    QVERIFY(overlay.stop());
    QVERIFY(!overlay.errorOutput().contains("mode:"));
}

void tst_EndToEnd::waylandSessionRunsOnX11_data()
{
    QTest::addColumn<bool>("compositor");
    QTest::addColumn<QByteArray>("why");
    QTest::newRow("no compositor") << false << QByteArray("no Wayland compositor answers");
    // The program runs from a copy of its own, where its Wayland module is not.
    QTest::newRow("a compositor, the module missing") << true << QByteArray("the program's Wayland module ");
}

void tst_EndToEnd::waylandSessionRunsOnX11()
{
    QFETCH(bool, compositor);
    QFETCH(QByteArray, why);
    QTemporaryDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    // Something listens where a compositor would.
    QLocalServer listening;
    QVERIFY(!compositor || listening.listen(runtime.filePath(QStringLiteral("wayland-lumivane-test"))));
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-lumivane-test"));
    environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    // Spent by the program at start, as a launcher hands them over.
    environment.insert(QStringLiteral("DESKTOP_STARTUP_ID"), QStringLiteral("lumivane-test_TIME0"));
    environment.insert(QStringLiteral("XDG_ACTIVATION_TOKEN"), QStringLiteral("token"));
    OverlayProcess overlay;
    // The companion writes down the environment it inherits.
    QVERIFY(overlay.addCompanion("env > \"$0.tmp\" && mv \"$0.tmp\" \"$0.environment\"\n"));
    QVERIFY(overlay.start(environment));
    QCOMPARE(runSender(words("1 0 0 0")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(overlay.wroteLines({"mode: 1 ,R: 0 ,G: 0 ,B: 0"}), ReportTimeoutMs);

    QFile inherited(overlay.folderPath() + QStringLiteral("/gattlink.environment"));
    QTRY_VERIFY_WITH_TIMEOUT(inherited.exists(), ReportTimeoutMs);
    QVERIFY(inherited.open(QIODevice::ReadOnly));
    // The companion's environment is the one the program was started with, without what it spent,
    // whatever the program set for itself (the platform, an unreachable session bus); the shell
    // running the companion adds its working folder.
    const auto withoutWorkingFolder = [](QStringList variables) {
        variables.replaceInStrings(QRegularExpression(QStringLiteral("^PWD=.*")), QString());
        variables.removeAll(QString());
        variables.sort();
        return variables;
    };
    environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
    environment.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
    environment.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
    QCOMPARE(withoutWorkingFolder(
                 QString::fromLocal8Bit(inherited.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)),
        withoutWorkingFolder(environment.toStringList()));

    QVERIFY(overlay.stop());
    const QByteArray path("lumivane.display: X11 through XWayland: " + why);
    QVERIFY2(overlay.errorOutput().startsWith(path), overlay.errorOutput().constData());
    // One line says why; left to itself, Qt would have tried its Wayland platform first and said so.
    const QByteArray line = overlay.errorOutput().left(overlay.errorOutput().indexOf('\n') + 1);
    QVERIFY2(
        compositor == line.endsWith("/lumivane/modules/lumivane-wayland.so is missing\n"), line.constData());
    QVERIFY2(!overlay.errorOutput().mid(line.size()).toLower().contains("wayland"),
        overlay.errorOutput().constData());
}

void tst_EndToEnd::withoutDisplay_data()
{
    QTest::addColumn<QStringList>("variables");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("line");
    const QByteArray noX("no X server answers at DISPLAY \":4071\"");
    QTest::newRow("wayland session, no display at all")
        << words("XDG_SESSION_TYPE=wayland") << QStringList()
        << QByteArray("DISPLAY is not set and no other display was chosen");
    QTest::newRow("wayland display, no compositor")
        << words("WAYLAND_DISPLAY=wayland-none") << QStringList()
        << QByteArray("DISPLAY is not set and no other display was chosen");
    QTest::newRow("handed socket that is not open")
        << words("XDG_SESSION_TYPE=wayland WAYLAND_SOCKET=999") << QStringList()
        << QByteArray("DISPLAY is not set and no other display was chosen");
    QTest::newRow("no X server at DISPLAY") << words("DISPLAY=:4071") << QStringList() << noX;
    QTest::newRow("user chose xcb") << words("DISPLAY=:4071 QT_QPA_PLATFORM=xcb") << QStringList() << noX;
    QTest::newRow("-display") << QStringList() << words("-display :4071") << noX;
    QTest::newRow("user chose wayland")
        << words("QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=none") << QStringList()
        << QByteArray("no Wayland compositor answers at WAYLAND_DISPLAY \"none\"");
}

void tst_EndToEnd::withoutDisplay()
{
    QFETCH(QStringList, variables);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, line);
    QTemporaryDir runtime;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    for (const QString &variable : variables)
        environment.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    OverlayProcess overlay;
    QVERIFY(overlay.launch(environment, arguments));
    QVERIFY(overlay.process.waitForFinished(ReportTimeoutMs));
    QCOMPARE(overlay.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(overlay.process.exitCode(), 1);
    QCOMPARE(overlay.errorOutput(), "lumivane.display: no display: " + line + '\n');
}

void tst_EndToEnd::channelOutlivesLoss_data()
{
    QTest::addColumn<ChannelLoss>("loss");
    QTest::newRow("close request, as from the window manager") << ChannelLoss::CloseRequest;
    QTest::newRow("taken, then let go") << ChannelLoss::TakenAndReleased;
    QTest::newRow("taken by a client that quits") << ChannelLoss::TakenByClientThatQuits;
    QTest::newRow("taken and let go in a loop") << ChannelLoss::TakenInLoop;
}

void tst_EndToEnd::channelOutlivesLoss()
{
    QFETCH(ChannelLoss, loss);
    OverlayProcess overlay;
    QVERIFY(overlay.start());
    const xcb_window_t window = probe.selectionOwner(Channel);
    {
        XProbe other;
        if (loss == ChannelLoss::CloseRequest) {
            other.sendClientMessage(
                window, "WM_PROTOCOLS", 32, other.atom("WM_DELETE_WINDOW"), XCB_CURRENT_TIME);
            // Twice: the toolkit acts on a close request after the batch of events that brought it.
            QVERIFY(other.syncWithOwner(Channel, ReportTimeoutMs));
            QVERIFY(other.syncWithOwner(Channel, ReportTimeoutMs));
        } else {
            other.takeSelection(Channel);
            QTRY_VERIFY_WITH_TIMEOUT(overlay.wroteLines({"lumivane.channel: Another client holds the report "
                                                         "channel; taking it back when it lets go"}),
                ReportTimeoutMs);
            if (loss != ChannelLoss::TakenByClientThatQuits)
                other.releaseSelection(Channel);
            for (int i = 0; loss == ChannelLoss::TakenInLoop && i < 200; ++i) {
                other.takeSelection(Channel);
                other.releaseSelection(Channel);
            }
        }
    }
    QTRY_COMPARE_WITH_TIMEOUT(probe.selectionOwner(Channel), window, ReportTimeoutMs);
    // One warning, however often the channel was taken.
    QCOMPARE(overlay.errorOutput().count("lumivane.channel: "), loss == ChannelLoss::CloseRequest ? 0 : 1);

    QCOMPARE(runSender(words("3 0 0 255")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(overlay.wroteLines({"mode: 3 ,R: 0 ,G: 0 ,B: 255"}), ReportTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(probe.isViewable(window), ReportTimeoutMs);
    QVERIFY(overlay.stop());
    QCOMPARE(overlay.process.exitCode(), 0);
}

void tst_EndToEnd::channelTakenByAnotherOverlay()
{
    // There is room for one: the overlay that took the channel stays, this one ends as from its menu.
    OverlayProcess overlay;
    QVERIFY(overlay.start());
    XProbe standIn;
    standIn.setProperty(ChannelNames::OverlayWindow, 1);
    standIn.takeSelection(Channel);
    QVERIFY(overlay.process.waitForFinished(ReportTimeoutMs));
    QCOMPARE(overlay.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(overlay.process.exitCode(), 0);
    QCOMPARE(probe.selectionOwner(Channel), standIn.window());
}

void tst_EndToEnd::displayAtDensity_data()
{
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<int>("ratio");
    QTest::newRow("100 %") << 96 << QString() << 1;
    QTest::newRow("125 %, rounded to 1x") << 120 << QString() << 1;
    QTest::newRow("150 %, rounded to 2x") << 144 << QString() << 2;
    QTest::newRow("200 %") << 192 << QString() << 2;
    QTest::newRow("200 %, scaling turned off") << 192 << QStringLiteral("QT_ENABLE_HIGHDPI_SCALING=0") << 1;
    QTest::newRow("100 %, QT_SCALE_FACTOR=2") << 96 << QStringLiteral("QT_SCALE_FACTOR=2") << 2;
}

void tst_EndToEnd::displayAtDensity()
{
    QFETCH(int, dpi);
    QFETCH(QString, variable);
    QFETCH(int, ratio);
    // As a desktop sets its scale on X11, before the program starts; every row sets its own.
    const auto setDpi = [](int value) {
        QProcess xrdb;
        xrdb.start(QStringLiteral("xrdb"), {QStringLiteral("-nocpp"), QStringLiteral("-merge")});
        xrdb.write("Xft.dpi: " + QByteArray::number(value) + '\n');
        xrdb.closeWriteChannel();
        return xrdb.waitForFinished() && xrdb.exitCode() == 0;
    };
    QVERIFY(setDpi(dpi));
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    if (!variable.isEmpty())
        variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    OverlayProcess overlay;
    QVERIFY(overlay.start(variables, {QStringLiteral("-s")}));

    // 176 x 176 logical pixels centred on the 1920 x 1080 screen's logical geometry.
    const QRect expected(
        QPoint((1920 / ratio - 176) / 2, (1080 / ratio - 176) / 2) * ratio, QSize(176, 176) * ratio);
    const xcb_window_t window = probe.selectionOwner(Channel);
    QTRY_COMPARE_WITH_TIMEOUT(probe.geometry(window), expected, ReportTimeoutMs);
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT(
        (shot = probe.image(expected)).pixelColor(88 * ratio, 20 * ratio).blue() > 200, ReportTimeoutMs);
    // The ring at rest is 4 logical pixels wide, each a full device pixel (blue 230 at alpha 230).
    int ring = 0;
    for (int y = 0; y < 24 * ratio; ++y)
        ring += shot.pixelColor(88 * ratio, y).blue() > 150;
    QCOMPARE(ring, 4 * ratio);
    // The colour-cycle glyph pixel for pixel from the image made for that density, white over the
    // dark disc (a window without a compositor shows its premultiplied colours).
    const QImage glyph(ratio == 1 ? QStringLiteral(":/loop.png") : QStringLiteral(":/loop@2x.png"));
    QCOMPARE(glyph.width(), 24 * ratio);
    for (int y = 0; y < glyph.height(); ++y) {
        for (int x = 0; x < glyph.width(); ++x)
            QVERIFY(qAbs(qGray(shot.pixel(76 * ratio + x, 65 * ratio + y)) - qAlpha(glyph.pixel(x, y))) <= 8);
    }
    QVERIFY(overlay.stop());
}

QTEST_GUILESS_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
