#include "widgets/iconlabel.h"

#include <QLabel>
#include <QMetaProperty>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTest>

namespace {

// What the screen shows of the label on a black 176 x 176 parent. Taken from the real paint
// path: rendering a widget with an opacity effect through QWidget::render misplaces it.
QImage render(iconlabel &label)
{
    QWidget parent;
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::black);
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    parent.resize(176, 176);
    label.setParent(&parent);
    parent.show();
    if (!QTest::qWaitForWindowExposed(&parent))
        return {};
    parent.repaint();
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(parent.winId()).toImage();
    label.setParent(nullptr);
    return image;
}

// Sum of the grey levels: zero for an empty black image, halved when everything fades to half.
int brightness(const QImage &image)
{
    int sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum;
}

} // namespace

class tst_IconLabel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initialState();
    void alphaPropertyIsDouble();
    void integerAnimationInterpolatesReals();
    void storedValueIsNotClamped_data();
    void storedValueIsNotClamped();
    void alphaFadesIconAndCaptionTogether();
};

void tst_IconLabel::initialState()
{
    iconlabel label(nullptr);
    QCOMPARE(label.geometry(), QRect(76, 65, 24, 46));
    QCOMPARE(label.iconLabel->geometry(), QRect(0, 0, 24, 24));
    QCOMPARE(label.textLabel->geometry(), QRect(0, 34, 24, 12));
    QCOMPARE(label.textLabel->text(), QStringLiteral("常亮"));
    QVERIFY(label.iconLabel->styleSheet().isEmpty());
    QVERIFY(label.textLabel->styleSheet().contains(QLatin1String("font-size:12px")));
    QCOMPARE(label.getAlpha(), 0.0);
}

void tst_IconLabel::alphaPropertyIsDouble()
{
    const QMetaObject &meta = iconlabel::staticMetaObject;
    QCOMPARE(meta.className(), "iconlabel");
    QCOMPARE(meta.propertyCount() - meta.propertyOffset(), 1);
    const QMetaProperty alpha = meta.property(meta.indexOfProperty("alpha"));
    QCOMPARE(alpha.typeName(), "double");
    QVERIFY(alpha.isWritable());
    QVERIFY(!alpha.hasNotifySignal());
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 0);
}

void tst_IconLabel::integerAnimationInterpolatesReals()
{
    iconlabel label(nullptr);
    QPropertyAnimation animation(&label, "alpha");
    animation.setDuration(500);
    animation.setStartValue(0);
    animation.setEndValue(1);
    animation.start();
    animation.setCurrentTime(250);
    QCOMPARE(label.getAlpha(), 0.5);
    animation.setCurrentTime(125);
    QCOMPARE(label.getAlpha(), 0.25);
    animation.setCurrentTime(500);
    QCOMPARE(label.getAlpha(), 1.0);
    QCOMPARE(animation.state(), QAbstractAnimation::Stopped);
}

void tst_IconLabel::storedValueIsNotClamped_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("visible");
    QTest::newRow("above one") << 1.5 << true;
    QTest::newRow("one") << 1.0 << true;
    QTest::newRow("zero") << 0.0 << false;
    QTest::newRow("below zero") << -0.5 << false;
}

void tst_IconLabel::storedValueIsNotClamped()
{
    QFETCH(double, value);
    QFETCH(bool, visible);
    iconlabel label(nullptr);
    label.iconLabel->setPixmap(QPixmap(QStringLiteral(":/loop")));
    label.setProperty("alpha", value);
    QCOMPARE(label.property("alpha").toDouble(), value);
    const QImage image = render(label);
    QCOMPARE(image.size(), QSize(176, 176));
    QCOMPARE(brightness(image) > 0, visible);
}

void tst_IconLabel::alphaFadesIconAndCaptionTogether()
{
    iconlabel label(nullptr);
    label.iconLabel->setPixmap(QPixmap(QStringLiteral(":/loop")));
    label.textLabel->setText(QStringLiteral("幻彩"));
    label.applyAlpha(1.0);
    const QImage full = render(label);
    QCOMPARE(full.size(), QSize(176, 176));
    // Icon above, caption below: both are drawn at full alpha.
    const QImage icon = full.copy(76, 65, 24, 24);
    const QImage caption = full.copy(76, 99, 24, 12);
    QVERIFY(brightness(icon) > 20 * 179);
    QVERIFY(brightness(caption) > 10 * 100);

    label.applyAlpha(0.5);
    const QImage half = render(label);
    QVERIFY(qAbs(brightness(half.copy(76, 65, 24, 24)) * 2 - brightness(icon)) < brightness(icon) / 10);
    // The caption is compared between two faded states: at full alpha the effect steps aside and
    // the text may be antialiased otherwise (on Windows, ClearType instead of grey levels).
    label.applyAlpha(0.25);
    const QImage quarter = render(label);
    const int halfCaption = brightness(half.copy(76, 99, 24, 12));
    QVERIFY(halfCaption > 0 && halfCaption < brightness(caption));
    QVERIFY(qAbs(brightness(quarter.copy(76, 99, 24, 12)) * 2 - halfCaption) < halfCaption / 10);
}

QTEST_MAIN(tst_IconLabel)
#include "tst_iconlabel.moc"
