#include "iconlabel.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>

iconlabel::iconlabel(QWidget *parent)
    : QWidget(parent)
    , iconLabel(new QLabel(this))
    , textLabel(new QLabel(this))
    , opacityEffect(new QGraphicsOpacityEffect(this))
{
    // All four labels share this spot: centred on the overlay's centre (88, 88).
    setGeometry(76, 65, 24, 46);
    iconLabel->setGeometry(0, 0, 24, 24);
    textLabel->setGeometry(0, 34, 24, 12);
    textLabel->setText(QStringLiteral("常亮"));
    textLabel->setStyleSheet(
        QStringLiteral("background-color:transparent;font-size:12px;color:rgba(255, 255, 255, 70%);"));
    opacityEffect->setOpacity(0.0);
    setGraphicsEffect(opacityEffect);
}

double iconlabel::getAlpha() const
{
    return alphaValue;
}

void iconlabel::applyAlpha(double value)
{
    alphaValue = value;
    opacityEffect->setOpacity(value);
}
