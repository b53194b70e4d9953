#include "ring.h"

#include <QImage>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QSequentialAnimationGroup>
#include <QVariantAnimation>

#include <cmath>

ring::ring(QWidget *parent)
    : QWidget(parent)
    , pulseGroup(new QSequentialAnimationGroup(this))
    , sweepGroup(new QParallelAnimationGroup(this))
    , widthUpAnimation(new QVariantAnimation(this))
    , widthDownAnimation(new QVariantAnimation(this))
    , alphaAnimation(new QVariantAnimation(this))
    , arcAnimation(new QVariantAnimation(this))
{
    QEasingCurve spring(QEasingCurve::OutElastic);
    spring.setPeriod(0.28);
    spring.setAmplitude(1.4);

    // Integer end points make every animation interpolate integers.
    alphaAnimation->setDuration(1200);
    alphaAnimation->setStartValue(230);
    alphaAnimation->setEndValue(0);

    arcAnimation->setDuration(1200);
    arcAnimation->setStartValue(0);
    arcAnimation->setEndValue(360);
    arcAnimation->setEasingCurve(QEasingCurve::OutSine);

    sweepGroup->addAnimation(alphaAnimation);
    sweepGroup->addAnimation(arcAnimation);

    widthUpAnimation->setDuration(700);
    widthUpAnimation->setStartValue(4);
    widthUpAnimation->setEndValue(12);
    widthUpAnimation->setEasingCurve(spring);

    widthDownAnimation->setDuration(300);
    widthDownAnimation->setStartValue(12);
    widthDownAnimation->setEndValue(4);

    pulseGroup->addAnimation(widthUpAnimation);
    pulseGroup->addPause(200);
    pulseGroup->addAnimation(widthDownAnimation);

    // Connected only now: setting an animation's end points reports its value, and the width
    // would otherwise start at 12 instead of resting at 4.
    connect(widthUpAnimation, &QVariantAnimation::valueChanged, this, &ring::onWidthChanged);
    connect(widthDownAnimation, &QVariantAnimation::valueChanged, this, &ring::onWidthChanged);
    connect(alphaAnimation, &QVariantAnimation::valueChanged, this, &ring::onAlphaChanged);
    connect(arcAnimation, &QVariantAnimation::valueChanged, this, &ring::onArcChanged);

    connect(pulseGroup, SIGNAL(finished()), this, SLOT(animation_finishi()));

    // The stroke never comes nearer the centre than 65 pixels, so a repaint of the ring leaves the
    // square inside that circle alone: the labels there are neither repainted nor sent again.
    setMask(QRegion(0, 0, Side, Side).subtracted(QRegion(innerSquare())));
}

QRect ring::innerSquare()
{
    return QRect(44, 44, 88, 88);
}

int ring::outerRadius(int penWidth)
{
    return InnerRadius + penWidth;
}

void ring::onWidthChanged(QVariant value)
{
    penWidth = value.toInt();
    update();
}

void ring::onAlphaChanged(QVariant value)
{
    penAlpha = value.toInt();
    update();
}

void ring::onArcChanged(QVariant value)
{
    arcDegrees = value.toInt();
    update();
}

void ring::animation_finishi()
{
    penWidth = 4;
    penAlpha = 230;
    arcDegrees = 0;
    update();
}

bool ring::Stroke::operator==(const Stroke &other) const
{
    return color == other.color && width == other.width && arc == other.arc && ratio == other.ratio;
}

void ring::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    ringColor.setAlpha(penAlpha);
    const qreal ratio = painter.deviceTransform().m11();
    const Stroke stroke {ringColor.rgba(), penWidth, arcDegrees, ratio};
    if (!(stroke == keptStroke) || kept.isNull()) {
        // An animation of the ring itself changes the stroke at every frame: drawn as it is.
        if (!(stroke == lastStroke)) {
            lastStroke = stroke;
            drawStroke(painter);
            return;
        }
        kept = paintedStroke(*this, ratio);
        keptStroke = stroke;
    }
    // Nothing is painted under the stroke (the disc and the ripple stay inside its inner
    // edge), so its picture copied onto the cleared window leaves exactly the pixels the stroke
    // itself would.
    painter.drawPixmap(0, 0, kept);
}

void ring::hideEvent(QHideEvent *)
{
    // A hidden display holds no picture of it.
    kept = QPixmap();
}

void ring::drawStroke(QPainter &painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(QBrush(ringColor, Qt::SolidPattern), penWidth, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(pen);

    const int d = Side / 2 - InnerRadius - penWidth / 2;
    const int size = 2 * InnerRadius + penWidth;
    painter.drawEllipse(QRect(d, d, size, size));

    // An arc without span draws nothing; outlining one still costs a path and a stroke per frame.
    if (arcDegrees == 0)
        return;
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.drawArc(QRectF(d, d, size, size), 90 * 16, -16 * arcDegrees);
}

QPixmap ring::paintedStroke(const ring &source, qreal ratio)
{
    const int side = int(std::ceil(Side * ratio));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    source.drawStroke(painter);
    painter.end();
    return QPixmap::fromImage(image);
}
