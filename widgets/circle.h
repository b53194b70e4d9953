#ifndef CIRCLE_H
#define CIRCLE_H

#include <QVariant>
#include <QWidget>

class QParallelAnimationGroup;
class QVariantAnimation;

// The ripple behind the mode icon: a faint white disc that draws in, then swells out and fades.
// The overlay places it at (28, 28), 120 x 120; the painted geometry is fixed to that size.
class circle : public QWidget
{
    Q_OBJECT

public:
    explicit circle(QWidget *parent);

    QParallelAnimationGroup *expandGroup;

public Q_SLOTS:
    void onRaduisChanged(QVariant value);
    void onOpacityChanged(QVariant value);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVariantAnimation *radiusAnimation;
    QVariantAnimation *opacityAnimation;
    int opacity = 0;
    int radius = 0;
};

#endif // CIRCLE_H
