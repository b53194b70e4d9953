#include "circle.h"

#include <QPainter>
#include <QParallelAnimationGroup>
#include <QVariantAnimation>

circle::circle(QWidget *parent)
    : QWidget(parent)
    , expandGroup(new QParallelAnimationGroup(this))
    , radiusAnimation(new QVariantAnimation(this))
    , opacityAnimation(new QVariantAnimation(this))
{
    // Integer end points make the animations interpolate integers.
    radiusAnimation->setDuration(500);
    radiusAnimation->setStartValue(18);
    radiusAnimation->setEndValue(64);
    radiusAnimation->setEasingCurve(QEasingCurve::InBack);
    expandGroup->addAnimation(radiusAnimation);

    opacityAnimation->setDuration(500);
    opacityAnimation->setStartValue(60);
    opacityAnimation->setEndValue(0);
    expandGroup->addAnimation(opacityAnimation);

    connect(radiusAnimation, &QVariantAnimation::valueChanged, this, &circle::onRaduisChanged);
    connect(opacityAnimation, &QVariantAnimation::valueChanged, this, &circle::onOpacityChanged);
}

void circle::onRaduisChanged(QVariant value)
{
    radius = value.toInt();
    update();
}

void circle::onOpacityChanged(QVariant value)
{
    opacity = value.toInt();
    update();
}

void circle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(QColor(255, 255, 255, opacity), Qt::SolidPattern));
    painter.drawEllipse(QRect(60 - radius, 60 - radius, 2 * radius, 2 * radius));
}
