#ifndef ICONLABEL_H
#define ICONLABEL_H

#include <QWidget>

class QGraphicsOpacityEffect;
class QLabel;

// One mode's icon with its caption underneath, faded as a whole through the property "alpha".
class iconlabel : public QWidget
{
    Q_OBJECT
    // Declared double so that an animation between the integers 0 and 1 interpolates reals.
    Q_PROPERTY(double alpha READ getAlpha WRITE applyAlpha)

public:
    explicit iconlabel(QWidget *parent);

    double getAlpha() const;
    void applyAlpha(double value);
    // Sizes the label around the caption that textLabel holds, for a caption other than the
    // two-character ones its box is made for: as wide as the text, as tall as the font's line,
    // centred on the same vertical axis, the icon still above it.
    void fitCaption();

    QLabel *iconLabel;
    QLabel *textLabel;

private:
    QGraphicsOpacityEffect *opacityEffect;
    double alphaValue = 0.0;
};

#endif // ICONLABEL_H
