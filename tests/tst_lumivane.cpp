#include "overlay/Lumivane.h"
#include "support/AnimationClock.h"
#include "support/MessageCapture.h"
#include "support/OverlaySteps.h"
#include "support/OwnSlots.h"
#include "support/PaintCounter.h"
#include "widgets/circle.h"
#include "widgets/iconlabel.h"
#include "widgets/ring.h"
#include "windowsystem/WindowFade.h"

#include <QLabel>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QProcess>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSequentialAnimationGroup>
#include <QTest>
#include <QTimer>

using namespace OverlaySteps;

namespace {

int runningAnimations(QObject &root)
{
    int count = 0;
    for (auto *animation : root.findChildren<QAbstractAnimation *>())
        count += animation->state() == QAbstractAnimation::Running;
    return count;
}

// The screen's pixels where the window lies, as X draws them (over black without a compositor).
QImage screenUnder(const QWidget &window)
{
    const QRect frame = window.geometry();
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
        .toImage();
}

} // namespace

class tst_Lumivane : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void geometryFor_data();
    void geometryFor();
    void construction();
    void metaObject();
    void composition();
    void showFadesInAndArmsTimer();
    void showWhileShownStartsOver();
    void showDuringFadeOutKeepsWindow();
    void timerHidesAndSleeps();
    void paintedFade();
    void paintedFadeOutHoldsStill();
    void showReturnsRingToRest();
    void trayActivation_data();
    void trayActivation();
    void swStatusStartsRipple();
    void paintedWindow();
    void discAtEveryDensity_data();
    void discAtEveryDensity();
    void onScreen();
    void followsScreen_data();
    void followsScreen();

private:
    AnimationClock clock;
};

void tst_Lumivane::init()
{
    clock.install();
}

void tst_Lumivane::cleanup()
{
    clock.uninstall();
}

void tst_Lumivane::geometryFor_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1080) << QPoint(872, 452);
    QTest::newRow("1366x768") << QRect(0, 0, 1366, 768) << QPoint(595, 296);
    QTest::newRow("odd width") << QRect(0, 0, 1365, 768) << QPoint(594, 296);
    QTest::newRow("narrower than the window") << QRect(0, 0, 100, 100) << QPoint(-38, -38);
    QTest::newRow("narrower, odd") << QRect(0, 0, 101, 101) << QPoint(-37, -37);
    QTest::newRow("right of another screen") << QRect(1920, 0, 1366, 768) << QPoint(2515, 296);
    QTest::newRow("left of and above another") << QRect(-1365, -768, 1365, 768) << QPoint(-771, -472);
    QTest::newRow("left, narrower, odd") << QRect(-101, 0, 101, 101) << QPoint(-138, -37);
}

void tst_Lumivane::geometryFor()
{
    QFETCH(QRect, screen);
    QFETCH(QPoint, topLeft);
    QCOMPARE(Lumivane::geometryFor(screen), QRect(topLeft, QSize(176, 176)));
}

void tst_Lumivane::construction()
{
    MessageCapture capture;
    Lumivane window;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(capture.lines().mid(0, 2),
        (QStringList {QString::number(screen.width()), QString::number(screen.height())}));
    QCOMPARE(window.geometry(), Lumivane::geometryFor(screen));
    QCOMPARE(int(window.windowFlags()), 0x0004080B);
    QVERIFY(window.testAttribute(Qt::WA_TranslucentBackground));
    // Hidden, but with a native window that reports can reach.
    QVERIFY(window.isHidden());
    QVERIFY(window.internalWinId() != 0);
    QCOMPARE(window.currentMode, 0);
    QVERIFY(!window.timer->isActive());
    QVERIFY(!window.timer->isSingleShot());
}

void tst_Lumivane::metaObject()
{
    const QMetaObject &meta = Lumivane::staticMetaObject;
    QCOMPARE(meta.className(), "Lumivane");
    QCOMPARE(meta.propertyCount(), meta.propertyOffset());
    compareOwnSlots(meta,
        {
            {"showapp()", QMetaMethod::Public},
            {"iconIsActived(QSystemTrayIcon::ActivationReason)", QMetaMethod::Private},
            {"hideapp()", QMetaMethod::Private},
            {"sw_status()", QMetaMethod::Private},
        });
}

void tst_Lumivane::composition()
{
    Lumivane window;
    QCOMPARE(window.circleWidget->geometry(), QRect(28, 28, 120, 120));
    QCOMPARE(window.ringWidget->geometry(), QRect(0, 0, 176, 176));
    QCOMPARE(window.ringWidget->ringColor, QColor(0, 0, 230, 255));
    const QList<iconlabel *> labels = {
        window.brightLabel, window.breathLabel, window.loopLabel, window.horseLabel};
    const QStringList captions = {
        QStringLiteral("常亮"), QStringLiteral("呼吸"), QStringLiteral("幻彩"), QStringLiteral("跑马")};
    for (int i = 0; i < labels.size(); ++i) {
        QCOMPARE(labels[i]->geometry(), QRect(76, 65, 24, 46));
        QCOMPARE(labels[i]->textLabel->text(), captions[i]);
        QVERIFY(!labels[i]->iconLabel->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(labels[i]->getAlpha(), labels[i] == window.loopLabel ? 1.0 : 0.0);
    }
    // Stacking order is creation order: disc, ring, then the labels.
    const QList<QWidget *> expected = {window.circleWidget, window.ringWidget, window.brightLabel,
        window.breathLabel, window.loopLabel, window.horseLabel};
    QList<QWidget *> stack;
    for (QObject *child : window.children()) {
        if (auto *widget = qobject_cast<QWidget *>(child))
            stack.append(widget);
    }
    QCOMPARE(stack, expected);
}

void tst_Lumivane::showFadesInAndArmsTimer()
{
    Lumivane window;
    window.showapp();
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowOpacity(), 0.0);
    QCOMPARE(fades(window).size(), 1);
    QPropertyAnimation *fade = fades(window).first();
    QCOMPARE(fade->duration(), 250);
    QCOMPARE(fade->startValue().toDouble(), 0.0);
    QCOMPARE(fade->endValue().toDouble(), 1.0);
    clock.advance(125);
    // The window keeps its opacity in steps of 1/255.
    QVERIFY(qAbs(window.windowOpacity() - 0.5) < 0.01);
    QVERIFY(window.timer->isActive());
    QCOMPARE(window.timer->interval(), 4000);
    finishFade(window, clock);
    QCOMPARE(window.windowOpacity(), 1.0);
    QVERIFY(fades(window).isEmpty());
}

void tst_Lumivane::showWhileShownStartsOver()
{
    Lumivane window;
    window.showapp();
    finishFade(window, clock);
    window.showapp();
    QCOMPARE(window.windowOpacity(), 0.0);
    QCOMPARE(fades(window).size(), 1);
    QCOMPARE(window.timer->interval(), 4000);
}

void tst_Lumivane::showDuringFadeOutKeepsWindow()
{
    Lumivane window;
    window.showapp();
    finishFade(window, clock);
    fireTimer(window);
    QCOMPARE(fades(window).size(), 1);
    clock.advance(125);
    // The window keeps its opacity in steps of 1/255.
    QVERIFY(qAbs(window.windowOpacity() - 0.5) < 0.01);

    window.showapp();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    // The interrupted fade-out is gone and never hides the window.
    QCOMPARE(fades(window).size(), 1);
    QCOMPARE(fades(window).first()->endValue().toDouble(), 1.0);
    finishFade(window, clock);
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowOpacity(), 1.0);
    QVERIFY(window.timer->isActive());
}

void tst_Lumivane::timerHidesAndSleeps()
{
    Lumivane window;
    window.showapp();
    finishFade(window, clock);
    fireTimer(window);
    QVERIFY(window.isVisible());
    QCOMPARE(fades(window).first()->endValue().toDouble(), 0.0);
    finishFade(window, clock);
    QVERIFY(window.isHidden());
    // Nothing of a hidden overlay keeps running.
    QVERIFY(!window.timer->isActive());
    QCOMPARE(runningAnimations(window), 0);
    QVERIFY(window.findChildren<QPropertyAnimation *>(QString(), Qt::FindDirectChildrenOnly).isEmpty());
}

// Where the window has no opacity, its fade is painted over all it draws, with the same curve.
void tst_Lumivane::paintedFade()
{
    QWidget window;
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::red));
    WindowFade fade(&window, WindowFade::Method::Painted);
    window.show();
    fade.to(1.0, 250)->start(QAbstractAnimation::DeleteWhenStopped);
    QImage drawn(window.size(), QImage::Format_ARGB32_Premultiplied);
    for (const int ms : {0, 50, 75, 70}) {
        clock.advance(ms);
        drawn.fill(Qt::transparent);
        window.render(&drawn);
        QCOMPARE(qAlpha(drawn.pixel(5, 5)), qRound(fade.opacity() * 255));
    }
    QCOMPARE(fade.opacity(), 0.78);
    clock.advance(250);
    QCOMPARE(fade.opacity(), 1.0);
}

// A fade-out, where nothing in the window moves, shows one picture of the window at each frame's
// opacity: the same pixels on screen, and nothing beneath painted again.
void tst_Lumivane::paintedFadeOutHoldsStill()
{
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.resize(40, 40);
    QWidget content(&window);
    content.setGeometry(0, 0, 40, 40);
    content.setAutoFillBackground(true);
    content.setPalette(QPalette(QColor(0, 255, 0)));
    WindowFade fade(&window, WindowFade::Method::Painted);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    fade.to(0.0, 250)->start(QAbstractAnimation::DeleteWhenStopped);
    PaintCounter counter {&content};
    for (const int ms : {50, 75, 70}) {
        clock.advance(ms);
        window.repaint();
        // X keeps a translucent window's pixels as they are, their colour scaled by their alpha.
        QCOMPARE(qGreen(screenUnder(window).pixel(20, 20)), qRound(fade.opacity() * 255));
    }
    QCOMPARE(counter.paints(&content), 0);
    // Content that moves again is painted again.
    fade.to(1.0, 250)->start(QAbstractAnimation::DeleteWhenStopped);
    clock.advance(50);
    window.repaint();
    QVERIFY(counter.paints(&content) > 0);
}

void tst_Lumivane::showReturnsRingToRest()
{
    Lumivane window;
    window.ringWidget->penWidth = 12;
    window.ringWidget->penAlpha = 10;
    window.ringWidget->arcDegrees = 180;
    window.ringWidget->ringColor = QColor(10, 200, 30, 255);
    window.showapp();
    QCOMPARE(window.ringWidget->penWidth, 4);
    QCOMPARE(window.ringWidget->penAlpha, 230);
    QCOMPARE(window.ringWidget->arcDegrees, 0);
    QCOMPARE(window.ringWidget->ringColor, QColor(10, 200, 30, 255));
}

void tst_Lumivane::trayActivation_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("shows");
    QTest::newRow("Unknown") << int(QSystemTrayIcon::Unknown) << false;
    QTest::newRow("Context") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("DoubleClick") << int(QSystemTrayIcon::DoubleClick) << false;
    QTest::newRow("Trigger") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("MiddleClick") << int(QSystemTrayIcon::MiddleClick) << false;
}

void tst_Lumivane::trayActivation()
{
    QFETCH(int, reason);
    QFETCH(bool, shows);
    Lumivane window;
    QVERIFY(QMetaObject::invokeMethod(&window, "iconIsActived",
        Q_ARG(QSystemTrayIcon::ActivationReason, static_cast<QSystemTrayIcon::ActivationReason>(reason))));
    QCOMPARE(window.isVisible(), shows);
    QCOMPARE(window.timer->isActive(), shows);
}

void tst_Lumivane::swStatusStartsRipple()
{
    Lumivane window;
    QVERIFY(QMetaObject::invokeMethod(&window, "sw_status"));
    QCOMPARE(window.circleWidget->expandGroup->state(), QAbstractAnimation::Running);
    QVERIFY(window.isHidden());
}

void tst_Lumivane::paintedWindow()
{
    Lumivane window;
    QImage image(176, 176, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    window.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    // Corners stay fully transparent; the dark disc fills the centre; the blue ring lies just
    // outside the disc. (The labels are checked on screen: rendering a widget with an opacity
    // effect this way misplaces it.)
    QCOMPARE(qAlpha(image.pixel(2, 2)), 0);
    QCOMPARE(qAlpha(image.pixel(173, 2)), 0);
    QCOMPARE(qAlpha(image.pixel(2, 173)), 0);
    QCOMPARE(image.pixel(88, 40), qRgba(0, 0, 0, 230));
    QCOMPARE(qAlpha(image.pixel(88, 88 - 65)), 0);
    const QColor ring = QColor::fromRgba(image.pixel(88, 88 - 68));
    QCOMPARE(ring.blue(), 230);
    QCOMPARE(ring.alpha(), 230);
    QCOMPARE(ring.red(), 0);
}

void tst_Lumivane::discAtEveryDensity_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("1") << qreal(1);
    QTest::newRow("1.25") << qreal(1.25);
    QTest::newRow("1.5") << qreal(1.5);
    QTest::newRow("2") << qreal(2);
    QTest::newRow("3") << qreal(3);
}

void tst_Lumivane::discAtEveryDensity()
{
    QFETCH(qreal, ratio);
    const auto canvas = [ratio] {
        QImage image(QSize(176, 176) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        return image;
    };
    // The disc as the window's own painting describes it, drawn straight onto the window.
    QImage expected = canvas();
    {
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 230));
        painter.drawEllipse(QRect(24, 24, 128, 128));
    }
    Lumivane window;
    // Twice at each density, one after another: the second paint uses what the first kept, and a
    // density met after another one must not reuse the other's pixels.
    for (qreal other : {qreal(1), ratio, qreal(2), ratio}) {
        QImage image = canvas();
        if (other != ratio) {
            QImage elsewhere(QSize(176, 176) * other, QImage::Format_ARGB32_Premultiplied);
            elsewhere.setDevicePixelRatio(other);
            window.render(&elsewhere, QPoint(), QRegion(), QWidget::RenderFlags());
            continue;
        }
        window.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        QCOMPARE(image, expected);
    }
}

void tst_Lumivane::onScreen()
{
    if (qEnvironmentVariableIsSet("LUMIVANE_UNDER_WINE"))
        QSKIP("Wine shows a layered window's last paint at the opacity it was drawn with, 0 at the "
              "start of the fade-in; tst_overlay_win checks the screen after a repaint");
    QCOMPARE(
        QProcess::execute(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QStringLiteral("#208040")}),
        0);
    const QRgb desktop = qRgb(0x20, 0x80, 0x40);
    Lumivane window;
    // Cut when shown, not before.
    QVERIFY(window.windowHandle()->mask().isEmpty());
    window.showapp();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    finishFade(window, clock);
    // Without a compositor the window is cut to the ring's outer edge (radius 70): the desktop
    // shows just outside it and in the corners.
    QImage shot;
    const auto cutToRing = [&window, &shot, desktop] {
        shot = screenUnder(window);
        return qBlue(shot.pixel(88, 20)) > 200 && shot.pixel(88, 88 - 72) == desktop &&
            shot.pixel(2, 2) == desktop;
    };
    QTRY_VERIFY_WITH_TIMEOUT(cutToRing(), 10000);
    const QColor ringPixel(shot.pixel(88, 20));
    QCOMPARE(ringPixel.red(), 0);
    QCOMPARE(ringPixel.green(), 0);
    QCOMPARE(qGray(shot.pixel(88, 40)), 0);

    // Only the colour-cycle label is drawn: its caption matches a render of that label alone.
    QImage expected(24, 46, QImage::Format_RGB32);
    expected.fill(Qt::black);
    window.loopLabel->render(&expected, QPoint(), QRegion(), QWidget::DrawChildren);
    const QImage label = shot.copy(76, 65, 24, 46).convertToFormat(QImage::Format_RGB32);
    int lit = 0;
    for (int y = 0; y < label.height(); ++y) {
        for (int x = 0; x < label.width(); ++x) {
            QVERIFY(qAbs(qGray(label.pixel(x, y)) - qGray(expected.pixel(x, y))) <= 8);
            lit += qGray(label.pixel(x, y)) > 80;
        }
    }
    QVERIFY(lit > 30);

    // A compositor makes the transparent pixels transparent: the square comes back while it runs.
    QProcess compositor;
    compositor.start(QStringLiteral("xcompmgr"), QStringList());
    QVERIFY(compositor.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(window.windowHandle()->mask().isEmpty(), 10000);
    compositor.terminate();
    QVERIFY(compositor.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(cutToRing(), 10000);
}

void tst_Lumivane::followsScreen_data()
{
    // A resolution set with xrandr -s, on a nested X server that can change it; without one, Qt's
    // own signals stand in for a screen moved in the virtual desktop and then unplugged.
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<bool>("shown");
    QTest::newRow("moved right of another screen, hidden") << QString() << QRect(1920, 0, 1366, 768) << false;
    QTest::newRow("moved left and up, shown") << QString() << QRect(-1280, -200, 1280, 1024) << true;
    QTest::newRow("resolution, hidden") << QStringLiteral("1024x768") << QRect(0, 0, 1024, 768) << false;
    QTest::newRow("resolution, shown") << QStringLiteral("1280x1024") << QRect(0, 0, 1280, 1024) << true;
}

void tst_Lumivane::followsScreen()
{
    QFETCH(QString, resolution);
    QFETCH(QRect, screen);
    QFETCH(bool, shown);
    if (!resolution.isEmpty() && !qEnvironmentVariableIsSet("LUMIVANE_RESIZABLE_X"))
        QSKIP("needs an X server that changes its resolution (tests/with-xvfb.sh --nested)");
    MessageCapture capture;
    Lumivane window;
    if (shown) {
        window.showapp();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        finishFade(window, clock);
    }
    const int lines = capture.lines().size();
    QScreen *primary = QGuiApplication::primaryScreen();
    if (resolution.isEmpty()) {
        Q_EMIT primary->geometryChanged(screen);
    } else {
        QCOMPARE(QProcess::execute(QStringLiteral("xrandr"), {QStringLiteral("-s"), resolution}), 0);
        QTRY_COMPARE(primary->geometry(), screen);
    }
    QCOMPARE(window.geometry(), Lumivane::geometryFor(screen));
    QCOMPARE(window.isVisible(), shown);
    // The size is written once, at construction.
    QCOMPARE(capture.lines().size(), lines);
    if (resolution.isEmpty()) {
        // The one left is primary, and its geometry is asked afresh.
        Q_EMIT qGuiApp->screenRemoved(primary);
        Q_EMIT qGuiApp->primaryScreenChanged(primary);
        QCOMPARE(window.geometry(), Lumivane::geometryFor(primary->geometry()));
        return;
    }
    // A report after the change shows the display in the middle of the new screen; a window shown
    // during the change stays shown, a hidden one fades in.
    QVERIFY(window.receiveReport(0x000000e6));
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (!shown)
        finishFade(window, clock);
    QCOMPARE(window.windowHandle()->geometry(), Lumivane::geometryFor(screen));
    QTRY_VERIFY_WITH_TIMEOUT(qBlue(screenUnder(window).pixel(88, 20)) > 200, 10000);
}

QTEST_MAIN(tst_Lumivane)
#include "tst_lumivane.moc"
