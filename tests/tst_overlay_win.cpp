#include "channel/ModeReport.h"
#include "motion/MotionPreference.h"
#include "overlay/Lumivane.h"
#include "support/AnimationClock.h"
#include "support/OverlayOf_win.h"
#include "support/OverlayProcess.h"
#include "support/OverlaySteps.h"
#include "widgets/circle.h"
#include "widgets/iconlabel.h"

#include <QDir>
#include <QLabel>
#include <QParallelAnimationGroup>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <windows.h>

using namespace OverlaySteps;

// The overlay as Windows sees it, through the Windows platform plugin: its native window, its
// styles, where it lies on the screen, and when it is visible.
namespace {

HWND handleOf(const Lumivane &window)
{
    return reinterpret_cast<HWND>(window.internalWinId());
}

template<typename Function>
Function resolve(HMODULE library, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

} // namespace

class tst_OverlayWin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void nativeWindowWhileHidden();
    void styles();
    void centredOnScreen();
    void programAtDensity();
    void fadeOutHides();
    void showDuringFadeOutStaysVisible();
    void paintedOnScreen();
    void withoutAnimations();
    void announcedWithoutNotificationEvent();
    void announcedToUiAutomation();

private:
    AnimationClock clock;
};

void tst_OverlayWin::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
}

void tst_OverlayWin::init()
{
    clock.install();
}

void tst_OverlayWin::cleanup()
{
    clock.uninstall();
}

void tst_OverlayWin::nativeWindowWhileHidden()
{
    Lumivane window;
    const HWND hwnd = handleOf(window);
    QVERIFY(IsWindow(hwnd));
    QVERIFY(!IsWindowVisible(hwnd));
    // A top-level window of its own, not a child of some other window.
    QCOMPARE(GetAncestor(hwnd, GA_ROOT), hwnd);
}

void tst_OverlayWin::styles()
{
    Lumivane window;
    window.showapp();
    const HWND hwnd = handleOf(window);
    QVERIFY(IsWindowVisible(hwnd));
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    // Frameless: a popup without caption, border or system menu.
    QVERIFY(style & WS_POPUP);
    QCOMPARE(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), LONG_PTR(0));
    // A tool window has no taskbar button; on top of normal windows; layered for the per-pixel
    // translucency.
    QVERIFY(exStyle & WS_EX_TOOLWINDOW);
    QCOMPARE(exStyle & WS_EX_APPWINDOW, LONG_PTR(0));
    QVERIFY(exStyle & WS_EX_TOPMOST);
    QVERIFY(exStyle & WS_EX_LAYERED);
}

void tst_OverlayWin::centredOnScreen()
{
    Lumivane window;
    window.showapp();
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    QVERIFY(screenWidth > 176 && screenHeight > 176);
    RECT rect;
    QVERIFY(GetWindowRect(handleOf(window), &rect));
    QCOMPARE(rect.left, LONG((screenWidth - 176) / 2));
    QCOMPARE(rect.top, LONG((screenHeight - 176) / 2));
    QCOMPARE(rect.right - rect.left, LONG(176));
    QCOMPARE(rect.bottom - rect.top, LONG(176));
}

// The program itself, as its start-up turns on scaling, on a display at 200 % as the user sets it
// (the rounding of other densities is Qt's own, tested on X11 by tst_endtoend).
void tst_OverlayWin::programAtDensity()
{
    if (!qEnvironmentVariableIsSet("LUMIVANE_RUNS_ALONE"))
        QSKIP("every Wine program started meanwhile would see the density: tst_overlay_win_density");
    QSettings desktop(QStringLiteral(R"(HKEY_CURRENT_USER\Control Panel\Desktop)"), QSettings::NativeFormat);
    const QString key = QStringLiteral("LogPixels");
    const QVariant before = desktop.value(key);
    const auto restore = qScopeGuard([&desktop, &key, &before] {
        before.isValid() ? desktop.setValue(key, before) : desktop.remove(key);
    });
    desktop.setValue(key, 192);
    desktop.sync();
    OverlayProcess program;
    QVERIFY(program.start(QProcessEnvironment::systemEnvironment(), {QStringLiteral("-s")}));
    RECT rect;
    QVERIFY(GetWindowRect(overlayOf(program.process.processId()), &rect));
    QCOMPARE(QSize(rect.right - rect.left, rect.bottom - rect.top), QSize(352, 352));
    // Qt places the window at whole logical pixels, so one device pixel off the exact centre on a
    // screen whose free width or height is not a multiple of 4.
    const QSize free = QSize(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)) - QSize(352, 352);
    QVERIFY(qAbs(rect.left - free.width() / 2) <= 1);
    QVERIFY(qAbs(rect.top - free.height() / 2) <= 1);
}

void tst_OverlayWin::fadeOutHides()
{
    Lumivane window;
    window.showapp();
    finishFade(window, clock);
    const HWND hwnd = handleOf(window);
    QCOMPARE(window.windowOpacity(), 1.0);
    QVERIFY(IsWindowVisible(hwnd));

    fireTimer(window);
    // Still on screen while it fades.
    QVERIFY(IsWindowVisible(hwnd));
    finishFade(window, clock);
    QTRY_VERIFY_WITH_TIMEOUT(!IsWindowVisible(hwnd), 10000);
    // The native window survives hiding, so reports still reach it.
    QVERIFY(IsWindow(hwnd));
}

void tst_OverlayWin::showDuringFadeOutStaysVisible()
{
    Lumivane window;
    window.showapp();
    finishFade(window, clock);
    fireTimer(window);
    window.showapp();
    QCOMPARE(window.windowOpacity(), 0.0);
    finishFade(window, clock);
    QCOMPARE(window.windowOpacity(), 1.0);
    QCoreApplication::processEvents();
    QVERIFY(IsWindowVisible(handleOf(window)));
    QCOMPARE(window.timer->interval(), 4000);
}

// What the window paints reaches the screen through the layered window, read back with GDI from
// the screen. Under Wine a layered window keeps the pixels of its last paint at the opacity they
// were drawn with (0 at the start of the fade-in), so the check repaints after the fade.
void tst_OverlayWin::paintedOnScreen()
{
    Lumivane window;
    window.showapp();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    finishFade(window, clock);
    window.repaint();
    RECT rect;
    QVERIFY(GetWindowRect(handleOf(window), &rect));
    const auto grab = [&rect] {
        return QGuiApplication::primaryScreen()->grabWindow(0, rect.left, rect.top, 176, 176).toImage();
    };
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT(QColor((shot = grab()).pixel(88, 20)).blue() > 200, 10000);
    const QColor ring(shot.pixel(88, 20));
    QCOMPARE(ring.red(), 0);
    QCOMPARE(ring.green(), 0);
    QCOMPARE(qGray(shot.pixel(88, 40)), 0);
    // The colour-cycle label's icon and caption are drawn, with the system's fonts.
    int lit = 0;
    for (int y = 65; y < 65 + 46; ++y) {
        for (int x = 76; x < 76 + 24; ++x)
            lit += qGray(shot.pixel(x, y)) > 80;
    }
    QVERIFY(lit > 30);
}

// "Show animations in Windows" turned off, as the settings do, while the overlay runs: it follows,
// shows at full opacity at once, plays no ripple and hides at once after the same hold.
void tst_OverlayWin::withoutAnimations()
{
    if (!qEnvironmentVariableIsSet("LUMIVANE_RUNS_ALONE"))
        QSKIP("every Wine program running meanwhile would see the setting: tst_overlay_win_motion");
    // As the settings do: stored in the user's profile, then announced to every top-level window.
    const UINT Saved = SPIF_UPDATEINIFILE | SPIF_SENDCHANGE;
    BOOL before = TRUE;
    QVERIFY(SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &before, 0));
    const auto restore = qScopeGuard([before, Saved] {
        SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, reinterpret_cast<PVOID>(INT_PTR(before)), Saved);
    });
    QVERIFY(
        SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, reinterpret_cast<PVOID>(INT_PTR(TRUE)), Saved));
    Lumivane window;
    auto *motion = window.findChild<MotionPreference *>();
    QVERIFY(motion && motion->isSettled() && motion->animate());
    QVERIFY(SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, nullptr, Saved));
    QTRY_VERIFY_WITH_TIMEOUT(!motion->animate(), 10000);

    QVERIFY(window.receiveReport(ModeReport {1, 0, 0, 0}.encode()));
    QCOMPARE(window.windowOpacity(), 1.0);
    QVERIFY(fades(window).isEmpty());
    QCOMPARE(window.circleWidget->expandGroup->state(), QAbstractAnimation::Stopped);
    QTRY_VERIFY_WITH_TIMEOUT(IsWindowVisible(handleOf(window)), 10000);
    QCOMPARE(window.timer->interval(), 4000);
    fireTimer(window);
    QVERIFY(!IsWindowVisible(handleOf(window)));
}

void tst_OverlayWin::announcedWithoutNotificationEvent()
{
    if (qEnvironmentVariableIsSet("LUMIVANE_UIA_STAND_IN"))
        QSKIP("the stand-in is the system's library in this run");
    Lumivane window;
    QVERIFY(window.receiveReport(0x01000000));
    finishFade(window, clock);
    // The overlay looked for the system's library once it was on screen; Wine's has no
    // notification event, and the overlay plays on as before.
    QTRY_VERIFY(GetModuleHandleW(L"UIAutomationCore.dll"));
    const HMODULE library = GetModuleHandleW(L"UIAutomationCore.dll");
    QVERIFY(GetProcAddress(library, "UiaHostProviderFromHwnd"));
    if (GetProcAddress(library, "UiaRaiseNotificationEvent"))
        QSKIP("this Wine has the notification event: tst_overlay_win_announce covers it");
    QVERIFY(IsWindowVisible(handleOf(window)));
    QCOMPARE(window.windowOpacity(), 1.0);
    QVERIFY(window.receiveReport(0x02000000));
    QCOMPARE(window.currentMode, 2);
    clock.advance(1000);
    QCOMPARE(window.breathLabel->getAlpha(), 1.0);
    QCOMPARE(window.accessibleName(), QStringLiteral("呼吸"));
}

void tst_OverlayWin::announcedToUiAutomation()
{
    if (!qEnvironmentVariableIsSet("LUMIVANE_UIA_STAND_IN"))
        QSKIP("the stand-in would stand for the system's library in every later case: "
              "tst_overlay_win_announce");
    // Loaded first, it is the library the overlay finds under the system's name.
    const QString path = QDir::toNativeSeparators(QStringLiteral(LUMIVANE_UIA_STAND_IN));
    const HMODULE library = LoadLibraryW(reinterpret_cast<const wchar_t *>(path.utf16()));
    QVERIFY2(library, qPrintable(path));
    const auto notifications = resolve<const wchar_t *(*)()>(library, "standInNotifications");
    const auto standInWindow = resolve<HWND (*)()>(library, "standInWindow");
    const auto references = resolve<long (*)()>(library, "standInProviderReferences");
    QVERIFY(notifications && standInWindow && references);
    const auto heard = [notifications] { return QString::fromWCharArray(notifications()); };

    Lumivane window;
    // From hidden: heard once the window is on screen, for its window. Kind "other", processing
    // "most recent", the caption, the untranslated activity id of ScreenReaderNotice_win.cpp.
    QVERIFY(window.receiveReport(0x01000000));
    QTRY_COMPARE(heard(), QStringLiteral("4 3 跑马 Lumivane.ModeShown\n"));
    QCOMPARE(standInWindow(), handleOf(window));
    finishFade(window, clock);
    // While shown: heard at once; a colour is not heard.
    QVERIFY(window.receiveReport(0x02000000));
    QVERIFY(window.receiveReport(0x020000FF));
    QCoreApplication::processEvents();
    QVERIFY(window.receiveReport(0x03000000));
    QCOMPARE(heard().count(QLatin1Char('\n')), 3);
    QVERIFY(heard().endsWith(QStringLiteral("\n4 3 呼吸 Lumivane.ModeShown\n4 3 常亮 Lumivane.ModeShown\n")));
    // Every provider handed out was given back.
    QCOMPARE(references(), 0L);
}

QTEST_MAIN(tst_OverlayWin)
#include "tst_overlay_win.moc"
