#include "FloorWindow.h"
#include "overlay/Lumivane.h"
#include "widgets/circle.h"
#include "widgets/iconlabel.h"
#include "widgets/ring.h"

#include <QImage>
#include <QParallelAnimationGroup>
#include <QSequentialAnimationGroup>
#include <QTest>

// Time of one frame of each part of the display, painted as the backing store would: cleared to
// transparent, then drawn. Each part is caught in the middle of its animation.
class BenchPaint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void windowDisc();
    void circleRipple();
    void ringPulse();
    void iconLabelFading();
    void wholeOverlay_data();
    void wholeOverlay();
    void floorWindow();

private:
    static void paintFrames(QWidget *widget, QWidget::RenderFlags flags, qreal ratio = 1);

    Lumivane *overlay = nullptr;
};

void BenchPaint::initTestCase()
{
    overlay = new Lumivane;
    // A mode change half-way: the outgoing label at half strength, the ripple swelling, the ring
    // springing out.
    overlay->loopLabel->applyAlpha(0.5);
    overlay->circleWidget->expandGroup->setCurrentTime(250);
    overlay->ringWidget->pulseGroup->setCurrentTime(350);
    QVERIFY(overlay->ringWidget->penWidth > 4);
}

void BenchPaint::paintFrames(QWidget *widget, QWidget::RenderFlags flags, qreal ratio)
{
    QImage frame(widget->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    frame.setDevicePixelRatio(ratio);
    QBENCHMARK
    {
        frame.fill(Qt::transparent);
        widget->render(&frame, QPoint(), QRegion(), flags);
    }
}

void BenchPaint::windowDisc()
{
    paintFrames(overlay, QWidget::DrawWindowBackground);
}

void BenchPaint::circleRipple()
{
    paintFrames(overlay->circleWidget, QWidget::DrawWindowBackground);
}

void BenchPaint::ringPulse()
{
    paintFrames(overlay->ringWidget, QWidget::DrawWindowBackground);
}

void BenchPaint::iconLabelFading()
{
    paintFrames(overlay->loopLabel, QWidget::DrawWindowBackground | QWidget::DrawChildren);
}

void BenchPaint::wholeOverlay_data()
{
    // At ratio 2, as on a 200 % screen: four times the pixels.
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("ratio 1") << qreal(1);
    QTest::newRow("ratio 2") << qreal(2);
}

void BenchPaint::wholeOverlay()
{
    QFETCH(qreal, ratio);
    paintFrames(overlay, QWidget::DrawWindowBackground | QWidget::DrawChildren, ratio);
}

void BenchPaint::floorWindow()
{
    FloorWindow floor;
    paintFrames(&floor, QWidget::DrawWindowBackground | QWidget::DrawChildren);
}

QTEST_MAIN(BenchPaint)
#include "bench_paint.moc"
