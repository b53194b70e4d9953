#include "WindowShape.h"

#include <QRegion>
#include <QWidget>
#include <QWindow>

void WindowShape::setCircle(const QRect &bounds)
{
    if (bounds == circle)
        return;
    circle = bounds;
    apply();
}

void WindowShape::setComposited(bool isComposited)
{
    if (isComposited == composited)
        return;
    composited = isComposited;
    apply();
}

void WindowShape::apply()
{
    // The native window's shape only: the widget's mask would also clip and offset its painting.
    QWindow *native = window->windowHandle();
    if (!native)
        return;
    native->setMask(composited ? QRegion() : QRegion(circle, QRegion::Ellipse));
}
