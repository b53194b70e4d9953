#ifndef RING_H
#define RING_H

#include <QColor>
#include <QVariant>
#include <QWidget>

class QParallelAnimationGroup;
class QSequentialAnimationGroup;
class QVariantAnimation;

// The coloured ring around the display. It pulses (springs out, holds, shrinks back) when the
// accessory reports a new colour. The overlay writes the public members directly.
class ring : public QWidget
{
    Q_OBJECT

public:
    explicit ring(QWidget *parent);

    QSequentialAnimationGroup *pulseGroup;
    QParallelAnimationGroup *sweepGroup;
    QVariantAnimation *widthUpAnimation;
    QVariantAnimation *widthDownAnimation;
    QVariantAnimation *alphaAnimation;
    QVariantAnimation *arcAnimation;
    QColor ringColor;
    int penWidth = 4;
    int arcDegrees = 0;
    int penAlpha = 230;

    // The square around the centre, in the ring's coordinates, that the ring never paints.
    static QRect innerSquare();

public Q_SLOTS:
    void onWidthChanged(QVariant value);
    void onAlphaChanged(QVariant value);
    void onArcChanged(QVariant value);

private Q_SLOTS:
    void animation_finishi();

protected:
    void paintEvent(QPaintEvent *event) override;
};

#endif // RING_H
