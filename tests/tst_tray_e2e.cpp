#include "autostart/Autostart.h"
#include "channel/ChannelNames.h"
#include "support/InstanceMarker.h"
#include "support/OverlayProcess.h"
#include "support/XProbe.h"

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTest>

#include <functional>
#include <utility>

namespace {

// Generous: the machine may be busy with other builds and tests.
constexpr int WaitMs = 30000;

// An environment in which neither the program nor the tray host can reach a session bus, so
// that the program docks its icon through XEmbed, and no system bus either.
QProcessEnvironment isolatedEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    // In a sanitized build: the GL driver that the first native window loads is unloaded before the
    // leak check, and only the slow unwinder still attributes its allocations to the GL library
    // that the suppressions name.
    if (environment.contains(QStringLiteral("LSAN_OPTIONS"))) {
        environment.insert(QStringLiteral("LSAN_OPTIONS"),
            environment.value(QStringLiteral("LSAN_OPTIONS")) + QLatin1String(":fast_unwind_on_malloc=0"));
    }
    return environment;
}

// How the overlay is brought up while the user types into a window of their own.
enum class Showing { AtStart, ByReport, ByTrayClick };

} // namespace

Q_DECLARE_METATYPE(Showing)

// The installed experience on an X11 desktop with an XEmbed tray: the icon docks, a click shows
// the overlay, and the menu switches start at logon and quits. The steps run in order on one
// program started from a folder with a blank in its name.
class tst_TrayEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void iconDocks();
    void clickShowsOverlay();
    void menuSwitchesStartAtLogon();
    void menuQuitEndsProgram();
    void showingLeavesFocus_data();
    void showingLeavesFocus();

private:
    xcb_window_t findWindow(const std::function<bool(xcb_window_t)> &test);
    xcb_window_t findIcon();
    xcb_window_t findOverlay();
    xcb_window_t findMenu();
    void runXdotool(const QStringList &arguments);
    void openMenu(xcb_window_t *menu);
    void clickEntry(xcb_window_t menu, int index);
    const QByteArray &userWindowText();

    XProbe probe;
    QProcess trayHost;
    OverlayProcess program;
    QProcess windowManager;
    QProcess userWindow;
    QByteArray userWindowOutput;
    int rightClicks = 0;
};

// The first of the program's windows that passes the test.
xcb_window_t tst_TrayEndToEnd::findWindow(const std::function<bool(xcb_window_t)> &test)
{
    for (const xcb_window_t window : probe.windowsOf("lumivane")) {
        if (test(window))
            return window;
    }
    return XCB_WINDOW_NONE;
}

// The icon is the program's window that the tray host has taken into its own.
xcb_window_t tst_TrayEndToEnd::findIcon()
{
    return findWindow([this](xcb_window_t window) {
        return probe.isViewable(window) && probe.parentOf(window) != probe.root();
    });
}

xcb_window_t tst_TrayEndToEnd::findOverlay()
{
    return findWindow([this](xcb_window_t window) {
        return probe.parentOf(window) == probe.root() && probe.geometry(window).size() == QSize(176, 176);
    });
}

xcb_window_t tst_TrayEndToEnd::findMenu()
{
    const xcb_window_t overlay = findOverlay();
    return findWindow([this, overlay](xcb_window_t window) {
        return window != overlay && probe.parentOf(window) == probe.root() && probe.isViewable(window);
    });
}

void tst_TrayEndToEnd::runXdotool(const QStringList &arguments)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    QVERIFY2(xdotool.waitForFinished(WaitMs), qPrintable(xdotool.errorString()));
    QCOMPARE(xdotool.exitCode(), 0);
}

// A right click on the icon pops the context menu up. The button is released only once the menu is
// there, as a person's click is: a release that overtakes the menu's opening can close it again.
// With the tray on the left, the menu opens with its corner under the pointer rather than with an
// entry there. Under heavy load the toolkit now and then closes a popup in the instant it opens; a
// person clicks again, and so does this. Each click goes to another spot, since two right clicks
// on one spot in quick succession make a double click, which opens no menu.
void tst_TrayEndToEnd::openMenu(xcb_window_t *menu)
{
    const xcb_window_t icon = findIcon();
    QVERIFY(icon != XCB_WINDOW_NONE);
    *menu = XCB_WINDOW_NONE;
    for (int attempt = 0; attempt < 3 && *menu == XCB_WINDOW_NONE; ++attempt, ++rightClicks) {
        const QPoint spot(4 + 12 * (rightClicks % 2), 4 + 12 * (rightClicks / 2 % 2));
        runXdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(icon),
            QString::number(spot.x()), QString::number(spot.y()), QStringLiteral("mousedown"),
            QStringLiteral("3")});
        (void)QTest::qWaitFor([this, menu] { return (*menu = findMenu()) != XCB_WINDOW_NONE; }, WaitMs / 3);
        runXdotool({QStringLiteral("mouseup"), QStringLiteral("3")});
    }
    QVERIFY(*menu != XCB_WINDOW_NONE);
}

// A left click in the middle of the menu's entry at index; the four entries share its height.
// Only once the menu has settled: two looks in a row finding it in the same place with the same
// pixels. A click that came sooner could reach a menu still being laid out, moved or drawn; the
// place is read at every look, since a slow toolkit may map the menu before it moves it.
void tst_TrayEndToEnd::clickEntry(xcb_window_t menu, int index)
{
    QRect geometry;
    QImage drawn;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QRect place = probe.geometry(menu);
            const QImage now = probe.image(place);
            const bool settled = place == geometry && now == drawn && !now.isNull();
            geometry = place;
            drawn = now;
            return settled;
        }(),
        WaitMs);
    runXdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(menu),
        QString::number(geometry.width() / 2), QString::number(geometry.height() * (2 * index + 1) / 8),
        QStringLiteral("click"), QStringLiteral("1")});
}

void tst_TrayEndToEnd::initTestCase()
{
    for (const char *tool : {"trayer", "xdotool"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
            qPrintable(
                QStringLiteral("%1 is missing: run scripts/install-deps.sh").arg(QString::fromLatin1(tool))));
    }
    QVERIFY2(probe.isConnected(), "no X server: run this test through tests/with-xvfb.sh");

    // The tray host has to own the selection before the program looks for it at start.
    trayHost.setProcessEnvironment(isolatedEnvironment());
    trayHost.setProcessChannelMode(QProcess::ForwardedChannels);
    trayHost.start(QStringLiteral("trayer"),
        {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("left"),
            QStringLiteral("--widthtype"), QStringLiteral("pixel"), QStringLiteral("--width"),
            QStringLiteral("120"), QStringLiteral("--heighttype"), QStringLiteral("pixel"),
            QStringLiteral("--height"), QStringLiteral("32")});
    QVERIFY(trayHost.waitForStarted(WaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(probe.selectionOwner(probe.traySelection()) != XCB_WINDOW_NONE, WaitMs);

    QVERIFY(!Autostart::isEnabled(program.programPath()));
    QVERIFY(InstanceMarker::keyFiles().isEmpty());
    QVERIFY(program.launch(isolatedEnvironment()));
}

void tst_TrayEndToEnd::cleanupTestCase()
{
    if (program.process.state() != QProcess::NotRunning)
        program.stop();
    for (QProcess *process : {&userWindow, &windowManager}) {
        process->terminate();
        process->waitForFinished(WaitMs);
    }
    if (trayHost.state() != QProcess::NotRunning) {
        trayHost.terminate();
        if (!trayHost.waitForFinished(WaitMs))
            trayHost.kill();
        trayHost.waitForFinished(WaitMs);
    }
}

void tst_TrayEndToEnd::iconDocks()
{
    QTRY_VERIFY_WITH_TIMEOUT(findIcon() != XCB_WINDOW_NONE, WaitMs);
    // The icon may dock while the program is still building the overlay's native window.
    QTRY_VERIFY_WITH_TIMEOUT(findOverlay() != XCB_WINDOW_NONE, WaitMs);
    QCOMPARE(InstanceMarker::keyFiles().size(), 1);
}

void tst_TrayEndToEnd::clickShowsOverlay()
{
    const xcb_window_t overlay = findOverlay();
    QVERIFY(overlay != XCB_WINDOW_NONE);
    QVERIFY(!probe.isViewable(overlay));

    runXdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(findIcon()),
        QStringLiteral("5"), QStringLiteral("5"), QStringLiteral("click"), QStringLiteral("1")});
    QTRY_VERIFY_WITH_TIMEOUT(probe.isViewable(overlay), WaitMs);
    // Centred on the 1280 x 800 screen of this test.
    QCOMPARE(probe.geometry(overlay), QRect(552, 312, 176, 176));
}

void tst_TrayEndToEnd::menuSwitchesStartAtLogon()
{
    xcb_window_t menu = XCB_WINDOW_NONE;
    openMenu(&menu);
    clickEntry(menu, 1); // "开机自启动"
    QTRY_VERIFY_WITH_TIMEOUT(Autostart::isEnabled(program.programPath()), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(findMenu() == XCB_WINDOW_NONE, WaitMs);
}

void tst_TrayEndToEnd::menuQuitEndsProgram()
{
    xcb_window_t menu = XCB_WINDOW_NONE;
    openMenu(&menu);
    clickEntry(menu, 3); // "退出"
    QVERIFY(program.process.waitForFinished(WaitMs));
    QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.process.exitCode(), 0);
    QVERIFY(InstanceMarker::keyFiles().isEmpty());
    QVERIFY(Autostart::isEnabled(program.programPath()));
}

// What the user's window (xev) has printed so far: its name, then the keys it receives.
const QByteArray &tst_TrayEndToEnd::userWindowText()
{
    userWindowOutput += userWindow.readAllStandardOutput();
    return userWindowOutput;
}

// Last, on programs of their own, under a window manager (which the steps before do without): the
// user's window keeps the focus and the keys typed into it, whatever brings the overlay up.
void tst_TrayEndToEnd::showingLeavesFocus_data()
{
    QTest::addColumn<Showing>("showing");
    QTest::newRow("-s") << Showing::AtStart;
    QTest::newRow("report") << Showing::ByReport;
    QTest::newRow("tray click") << Showing::ByTrayClick;
}

void tst_TrayEndToEnd::showingLeavesFocus()
{
    QFETCH(Showing, showing);
    if (windowManager.state() == QProcess::NotRunning) {
        windowManager.start(QStringLiteral("openbox"), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(
            probe.rootWindowProperty("_NET_SUPPORTING_WM_CHECK") != XCB_WINDOW_NONE, WaitMs);
        userWindow.start(QStringLiteral("xev"), {QStringLiteral("-event"), QStringLiteral("keyboard")});
        QTRY_VERIFY_WITH_TIMEOUT(
            userWindowText().contains(QByteArray("Outer window is 0x" +
                QByteArray::number(probe.rootWindowProperty("_NET_ACTIVE_WINDOW"), 16) + ',')),
            WaitMs);
    }
    const xcb_window_t user = probe.rootWindowProperty("_NET_ACTIVE_WINDOW");
    const int keys = userWindowText().count("KeyPress event");

    QVERIFY(program.start(isolatedEnvironment(),
        showing == Showing::AtStart ? QStringList {QStringLiteral("-s")} : QStringList()));
    const xcb_window_t overlay = probe.selectionOwner(ChannelNames::Report);
    if (showing == Showing::ByReport)
        probe.sendClientMessage(overlay, ChannelNames::Report, 32, 0x01000000u);
    if (showing == Showing::ByTrayClick) {
        QTRY_VERIFY_WITH_TIMEOUT(findIcon() != XCB_WINDOW_NONE, WaitMs);
        runXdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(findIcon()),
            QStringLiteral("5"), QStringLiteral("5"), QStringLiteral("click"), QStringLiteral("1")});
    }
    QTRY_VERIFY_WITH_TIMEOUT(probe.isViewable(overlay), WaitMs);
    // Not managed: the window manager has not framed it, and it lies above the user's window.
    QCOMPARE(probe.parentOf(overlay), probe.root());
    const QList<xcb_window_t> stack = probe.windowsBelow(probe.root());
    QVERIFY(stack.indexOf(overlay) > stack.indexOf(user));

    runXdotool({QStringLiteral("type"), QStringLiteral("lumi")});
    QTRY_COMPARE_WITH_TIMEOUT(userWindowText().count("KeyPress event"), keys + 4, WaitMs);
    QCOMPARE(probe.rootWindowProperty("_NET_ACTIVE_WINDOW"), user);
    QVERIFY(program.stop());
}

QTEST_GUILESS_MAIN(tst_TrayEndToEnd)
#include "tst_tray_e2e.moc"
