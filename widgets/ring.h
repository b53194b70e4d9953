#ifndef RING_H
#define RING_H

#include <QColor>
#include <QPixmap>
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

    // The ring's side, which is the display's: the overlay's window is the ring's square.
    static constexpr int Side = 176;

    // The square around the centre, in the ring's coordinates, that the ring never paints.
    static QRect innerSquare();

    // How far from the centre a stroke of the given width reaches; the window's round shape
    // follows it.
    static int outerRadius(int penWidth);

public Q_SLOTS:
    void onWidthChanged(QVariant value);
    void onAlphaChanged(QVariant value);
    void onArcChanged(QVariant value);

private Q_SLOTS:
    void animation_finishi();

protected:
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // What a paint of the stroke depends on.
    struct Stroke
    {
        QRgb color;
        int width;
        int arc;
        qreal ratio;
        bool operator==(const Stroke &other) const;
    };

    void drawStroke(QPainter &painter) const;
    static QPixmap paintedStroke(const ring &source, qreal ratio);

    // The stroke last painted, and the same stroke kept as a picture once it was painted twice
    // in a row: a mode change repaints the corners of the ring at every frame of the ripple
    // beneath, with nothing in the ring changing.
    Stroke lastStroke {};
    Stroke keptStroke {};
    QPixmap kept;

    // The stroke's inner edge stays on this circle around the centre; a wider stroke grows outwards.
    static constexpr int InnerRadius = 66;
};

#endif // RING_H
