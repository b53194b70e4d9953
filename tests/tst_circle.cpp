#include "widgets/circle.h"

#include <QParallelAnimationGroup>
#include <QTest>
#include <QVariantAnimation>

namespace {

QImage render(circle &disc)
{
    QImage image(disc.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    disc.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// Width of the painted disc along the row through its centre, and the alpha at the centre.
int paintedDiameter(const QImage &image)
{
    int count = 0;
    for (int x = 0; x < image.width(); ++x)
        count += qAlpha(image.pixel(x, 60)) > 0;
    return count;
}

} // namespace

class tst_Circle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void metaObject();
    void restDrawsNothing();
    void ripple_data();
    void ripple();
    void paintedGeometry_data();
    void paintedGeometry();
    void restartWhileRunningHasNoEffect();
    void nonNumericRadiusHidesDisc();
};

void tst_Circle::metaObject()
{
    const QMetaObject &meta = circle::staticMetaObject;
    QCOMPARE(meta.className(), "circle");
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 2);
    const QMetaMethod radius = meta.method(meta.methodOffset());
    const QMetaMethod opacity = meta.method(meta.methodOffset() + 1);
    QCOMPARE(radius.methodSignature(), QByteArray("onRaduisChanged(QVariant)"));
    QCOMPARE(opacity.methodSignature(), QByteArray("onOpacityChanged(QVariant)"));
    QCOMPARE(radius.access(), QMetaMethod::Public);
    QCOMPARE(radius.methodType(), QMetaMethod::Slot);
}

void tst_Circle::restDrawsNothing()
{
    circle disc(nullptr);
    disc.resize(120, 120);
    QCOMPARE(disc.expandGroup->state(), QAbstractAnimation::Stopped);
    QCOMPARE(paintedDiameter(render(disc)), 0);
}

void tst_Circle::ripple_data()
{
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("radius");
    QTest::addColumn<int>("alpha");
    QTest::newRow("start") << 0 << 18 << 60;
    QTest::newRow("drawing in") << 100 << 15 << 48;
    QTest::newRow("smallest") << 210 << 13 << 34;
    QTest::newRow("half") << 250 << 13 << 30;
    QTest::newRow("swelling") << 400 << 31 << 12;
    QTest::newRow("end") << 500 << 64 << 0;
}

void tst_Circle::ripple()
{
    QFETCH(int, time);
    QFETCH(int, radius);
    QFETCH(int, alpha);
    circle disc(nullptr);
    auto *radiusAnimation = qobject_cast<QVariantAnimation *>(disc.expandGroup->animationAt(0));
    auto *alphaAnimation = qobject_cast<QVariantAnimation *>(disc.expandGroup->animationAt(1));
    QVERIFY(radiusAnimation && alphaAnimation);
    QCOMPARE(disc.expandGroup->duration(), 500);
    disc.expandGroup->start();
    disc.expandGroup->setCurrentTime(time);
    QCOMPARE(radiusAnimation->currentValue().userType(), int(QMetaType::Int));
    QCOMPARE(radiusAnimation->currentValue().toInt(), radius);
    QCOMPARE(alphaAnimation->currentValue().toInt(), alpha);
}

void tst_Circle::paintedGeometry_data()
{
    QTest::addColumn<int>("time");
    QTest::addColumn<int>("diameter");
    QTest::addColumn<int>("alpha");
    QTest::newRow("first tick") << 16 << 34 << 58;
    QTest::newRow("smallest") << 210 << 26 << 34;
}

void tst_Circle::paintedGeometry()
{
    QFETCH(int, time);
    QFETCH(int, diameter);
    QFETCH(int, alpha);
    circle disc(nullptr);
    disc.resize(120, 120);
    disc.expandGroup->start();
    disc.expandGroup->setCurrentTime(time);
    const QImage image = render(disc);
    // Antialiasing may touch one more pixel on each side.
    QVERIFY2(
        qAbs(paintedDiameter(image) - diameter) <= 2, qPrintable(QString::number(paintedDiameter(image))));
    QCOMPARE(qAlpha(image.pixel(60, 60)), alpha);
    QCOMPARE(qRed(image.pixel(60, 60)), alpha); // premultiplied white
    QCOMPARE(qAlpha(image.pixel(60 - diameter / 2 - 3, 60)), 0);
}

void tst_Circle::restartWhileRunningHasNoEffect()
{
    circle disc(nullptr);
    disc.expandGroup->start();
    disc.expandGroup->setCurrentTime(300);
    disc.expandGroup->start(QAbstractAnimation::KeepWhenStopped);
    QCOMPARE(disc.expandGroup->currentTime(), 300);
    QCOMPARE(disc.expandGroup->state(), QAbstractAnimation::Running);
}

void tst_Circle::nonNumericRadiusHidesDisc()
{
    circle disc(nullptr);
    disc.resize(120, 120);
    disc.onOpacityChanged(60);
    disc.onRaduisChanged(30);
    QVERIFY(paintedDiameter(render(disc)) > 50);
    disc.onRaduisChanged(QVariant(QStringLiteral("wide")));
    QCOMPARE(paintedDiameter(render(disc)), 0);
}

QTEST_MAIN(tst_Circle)
#include "tst_circle.moc"
