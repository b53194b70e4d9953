#include "support/OwnSlots.h"
#include "support/PaintCounter.h"
#include "widgets/ring.h"

#include <QPainter>
#include <QParallelAnimationGroup>
#include <QSequentialAnimationGroup>
#include <QSignalSpy>
#include <QTest>

namespace {

QImage render(ring &widget)
{
    QImage image(176, 176, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// Alpha of the pixel straight above the centre (88, 88) at the given distance.
int alphaAbove(const QImage &image, int distance)
{
    return qAlpha(image.pixel(88, 88 - distance));
}

} // namespace

class tst_Ring : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void metaObject();
    void restValues();
    void pulse_data();
    void pulse();
    void pulseEndsAtRest();
    void restartWhileRunningHasNoEffect();
    void paintedStroke_data();
    void paintedStroke();
    void paintReplacesColourAlpha();
    void paintsEveryStrokePixel_data();
    void paintsEveryStrokePixel();
    void repaintLeavesCentreAlone();
};

void tst_Ring::metaObject()
{
    const QMetaObject &meta = ring::staticMetaObject;
    QCOMPARE(meta.className(), "ring");
    compareOwnSlots(meta,
        {
            {"onWidthChanged(QVariant)", QMetaMethod::Public},
            {"onAlphaChanged(QVariant)", QMetaMethod::Public},
            {"onArcChanged(QVariant)", QMetaMethod::Public},
            {"animation_finishi()", QMetaMethod::Private},
        });
}

void tst_Ring::restValues()
{
    ring widget(nullptr);
    QCOMPARE(widget.penWidth, 4);
    QCOMPARE(widget.penAlpha, 230);
    QCOMPARE(widget.arcDegrees, 0);
    QVERIFY(!widget.ringColor.isValid());
    QCOMPARE(widget.pulseGroup->duration(), 1200);
    QCOMPARE(widget.sweepGroup->duration(), 1200);
}

void tst_Ring::pulse_data()
{
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("width");
    QTest::newRow("start") << 0 << 4;
    QTest::newRow("overshoot") << 65 << 17;
    QTest::newRow("swing back") << 160 << 9;
    QTest::newRow("settled") << 700 << 12;
    QTest::newRow("pause") << 800 << 12;
    QTest::newRow("pause end") << 900 << 12;
    QTest::newRow("shrinking") << 1050 << 8;
    QTest::newRow("last frame") << 1199 << 4;
}

void tst_Ring::pulse()
{
    QFETCH(int, time);
    QFETCH(int, width);
    ring widget(nullptr);
    widget.pulseGroup->start();
    widget.pulseGroup->setCurrentTime(time);
    QCOMPARE(widget.penWidth, width);
    QCOMPARE(widget.penAlpha, 230);
}

void tst_Ring::pulseEndsAtRest()
{
    ring widget(nullptr);
    QSignalSpy finished(widget.pulseGroup, &QAbstractAnimation::finished);
    QVERIFY(finished.isValid());
    widget.pulseGroup->start();
    widget.pulseGroup->setCurrentTime(600);
    widget.penAlpha = 17;
    widget.arcDegrees = 90;
    widget.pulseGroup->setCurrentTime(1200);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(widget.penWidth, 4);
    QCOMPARE(widget.penAlpha, 230);
    QCOMPARE(widget.arcDegrees, 0);
}

void tst_Ring::restartWhileRunningHasNoEffect()
{
    ring widget(nullptr);
    QSignalSpy finished(widget.pulseGroup, &QAbstractAnimation::finished);
    widget.pulseGroup->start();
    widget.pulseGroup->setCurrentTime(500);
    widget.pulseGroup->start(QAbstractAnimation::KeepWhenStopped);
    QCOMPARE(widget.pulseGroup->currentTime(), 500);
    widget.pulseGroup->setCurrentTime(1200);
    QCOMPARE(finished.count(), 1);
}

void tst_Ring::paintedStroke_data()
{
    QTest::addColumn<QVariant>("width");
    QTest::addColumn<QList<int>>("inked");
    QTest::addColumn<QList<int>>("clear");
    // Distances from the centre: the inner edge stays at 66 and the stroke grows outwards.
    QTest::newRow("rest") << QVariant(4) << QList<int> {67, 68, 69} << QList<int> {0, 64, 72, 80};
    QTest::newRow("widest hold") << QVariant(12) << QList<int> {67, 72, 77} << QList<int> {64, 80};
    QTest::newRow("overshoot") << QVariant(17) << QList<int> {67, 75, 81} << QList<int> {64, 85};
    QTest::newRow("non-numeric") << QVariant(QStringLiteral("x")) << QList<int> {66} << QList<int> {63, 69};
}

void tst_Ring::paintedStroke()
{
    QFETCH(QVariant, width);
    QFETCH(QList<int>, inked);
    QFETCH(QList<int>, clear);
    ring widget(nullptr);
    widget.resize(176, 176);
    widget.ringColor = QColor(0, 0, 230, 255);
    widget.onWidthChanged(width);
    const QImage image = render(widget);
    for (int distance : inked) {
        QVERIFY2(alphaAbove(image, distance) > 100, qPrintable(QString::number(distance)));
        QCOMPARE(QColor(image.pixel(88, 88 - distance)).blue(), 230);
    }
    for (int distance : clear)
        QVERIFY2(alphaAbove(image, distance) == 0, qPrintable(QString::number(distance)));
}

void tst_Ring::paintReplacesColourAlpha()
{
    ring widget(nullptr);
    widget.resize(176, 176);
    widget.ringColor = QColor(255, 0, 0, 255);
    render(widget);
    QCOMPARE(widget.ringColor.alpha(), 230);
    QCOMPARE(alphaAbove(render(widget), 68), 230);

    widget.onAlphaChanged(100);
    const QImage faded = render(widget);
    QCOMPARE(widget.ringColor.alpha(), 100);
    QCOMPARE(alphaAbove(faded, 68), 100);
}

void tst_Ring::paintsEveryStrokePixel_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("alpha");
    QTest::addColumn<int>("arc");
    QTest::newRow("rest") << 4 << 230 << 0;
    QTest::newRow("hairline") << 0 << 230 << 0;
    QTest::newRow("odd width") << 9 << 230 << 0;
    QTest::newRow("overshoot") << 17 << 230 << 0;
    QTest::newRow("quarter sweep") << 4 << 120 << 90;
    QTest::newRow("whole sweep") << 12 << 10 << 360;
}

void tst_Ring::paintsEveryStrokePixel()
{
    QFETCH(int, width);
    QFETCH(int, alpha);
    QFETCH(int, arc);
    // The stroke and the arc exactly as the ring describes them, on a canvas without any clip.
    QImage expected(176, 176, QImage::Format_ARGB32);
    expected.fill(Qt::transparent);
    {
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(QBrush(QColor(200, 40, 0, alpha), Qt::SolidPattern), width, Qt::SolidLine, Qt::SquareCap,
            Qt::BevelJoin);
        painter.setPen(pen);
        const int d = 22 - width / 2;
        painter.drawEllipse(QRect(d, d, width + 132, width + 132));
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        painter.drawArc(QRectF(d, d, width + 132, width + 132), 90 * 16, -16 * arc);
    }
    ring widget(nullptr);
    widget.resize(176, 176);
    widget.ringColor = QColor(200, 40, 0);
    widget.penWidth = width;
    widget.penAlpha = alpha;
    widget.arcDegrees = arc;
    QCOMPARE(render(widget), expected);
    // Painted again unchanged, and once more from what the ring kept of it.
    QCOMPARE(render(widget), expected);
    QCOMPARE(render(widget), expected);
}

void tst_Ring::repaintLeavesCentreAlone()
{
    QWidget window;
    window.resize(176, 176);
    ring widget(&window);
    widget.setGeometry(0, 0, 176, 176);
    // A widget in the middle of the ring, where the labels sit.
    QWidget centre(&window);
    centre.setGeometry(ring::innerSquare());
    PaintCounter counter({&widget, &centre});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(counter.paints(&centre) > 0);

    counter.clear();
    widget.onWidthChanged(12);
    QTRY_COMPARE(counter.paints(&widget), 1);
    QCOMPARE(counter.paints(&centre), 0);

    // The centre itself still repaints when it asks to.
    centre.update();
    QTRY_COMPARE(counter.paints(&centre), 1);
}

QTEST_MAIN(tst_Ring)
#include "tst_ring.moc"
