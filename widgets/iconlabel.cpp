#include "iconlabel.h"

#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QLabel>

namespace {

constexpr int IconSide = 24;
constexpr int CaptionTop = 34;

} // namespace

iconlabel::iconlabel(QWidget *parent)
    : QWidget(parent)
    , iconLabel(new QLabel(this))
    , textLabel(new QLabel(this))
    , opacityEffect(new QGraphicsOpacityEffect(this))
{
    // All four labels share this spot: centred on the overlay's centre (88, 88).
    setGeometry(76, 65, 24, 46);
    iconLabel->setGeometry(0, 0, IconSide, IconSide);
    textLabel->setGeometry(0, CaptionTop, IconSide, 12);
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

void iconlabel::fitCaption()
{
    // The style sheet's font applies once the caption is polished.
    textLabel->ensurePolished();
    const QFontMetrics metrics = textLabel->fontMetrics();
    const int overhang = qMax(0, metrics.horizontalAdvance(textLabel->text()) - IconSide);
    // Grown by whole pixels on both sides, so that the axis stays where it was.
    const int side = (overhang + 1) / 2;
    const int width = IconSide + 2 * side;
    setGeometry(x() + (this->width() - width) / 2, y(), width, CaptionTop + metrics.height());
    iconLabel->move(side, 0);
    textLabel->setGeometry(0, CaptionTop, width, metrics.height());
    textLabel->setAlignment(Qt::AlignCenter);
}
