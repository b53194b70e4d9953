#include "channel/ModeReport.h"
#include "overlay/Lumivane.h"
#include "support/AnimationClock.h"
#include "support/OverlaySteps.h"
#include "support/PaintCounter.h"
#include "widgets/iconlabel.h"
#include "widgets/ring.h"

#include <QLabel>
#include <QPixmapCache>
#include <QPropertyAnimation>
#include <QSequentialAnimationGroup>
#include <QTest>

using namespace OverlaySteps;

// What the overlay costs a report: what it has ready for the first one, what it shows without
// waiting for the animation clock, what a burst of them leaves behind, and what stays armed once
// it has hidden again.
class tst_OverlayCost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void captionsPreparedAtConstruction();
    void colourShownAtOnce();
    void burstKeepsOneCrossFade();
    void hiddenHoldsNoPixmapCache();

private:
    AnimationClock clock;
};

void tst_OverlayCost::init()
{
    clock.install();
}

void tst_OverlayCost::cleanup()
{
    clock.uninstall();
}

void tst_OverlayCost::captionsPreparedAtConstruction()
{
    // Drawing each caption once off screen polishes it (its style sheet applied); a caption that
    // was never drawn would leave the font's loading to the first report.
    Lumivane window;
    for (iconlabel *label : {window.brightLabel, window.breathLabel, window.loopLabel, window.horseLabel})
        QVERIFY(label->textLabel->testAttribute(Qt::WA_WState_Polished));
    QVERIFY(window.isHidden());
}

void tst_OverlayCost::colourShownAtOnce()
{
    Lumivane window;
    window.showapp();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);

    PaintCounter counter({window.ringWidget});
    window.currentMode = 2;
    QVERIFY(window.receiveReport(ModeReport {2, 0, 255, 0}.encode()));
    QCOMPARE(window.ringWidget->pulseGroup->state(), QAbstractAnimation::Running);
    // The first pulse's first frame leaves the width where it rests: without a repaint of its
    // own the new colour would wait for the animation clock's next tick.
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);
    QVERIFY(counter.paints(window.ringWidget) > 0);
}

void tst_OverlayCost::burstKeepsOneCrossFade()
{
    // Reports that arrive together are handled in one go, without the event loop turning in
    // between: what each one leaves behind stays until the last, unless it is released at once.
    Lumivane window;
    for (int i = 0; i < 200; ++i)
        QVERIFY(window.receiveReport(ModeReport {quint8(i % 4)}.encode()));
    QCOMPARE(
        window.findChildren<QSequentialAnimationGroup *>(QString(), Qt::FindDirectChildrenOnly).size(), 1);
    // The cross-fade's two steps, and the fade-in that the first report started.
    QVERIFY(window.findChildren<QPropertyAnimation *>().size() <= 3);
}

void tst_OverlayCost::hiddenHoldsNoPixmapCache()
{
    Lumivane window;
    window.showapp();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(QPixmapCache::insert(QStringLiteral("probe"), QPixmap(4, 4)));
    QVERIFY(QMetaObject::invokeMethod(&window, "hideapp"));
    finishFade(window, clock);
    QVERIFY(window.isHidden());
    // The cache's own trimming timer runs for as long as it holds a pixmap.
    QPixmap cached;
    QVERIFY(!QPixmapCache::find(QStringLiteral("probe"), &cached));
}

QTEST_MAIN(tst_OverlayCost)
#include "tst_overlaycost.moc"
