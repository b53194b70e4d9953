#include "WindowShape.h"

#include <QEvent>
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

bool WindowShape::eventFilter(QObject *watched, QEvent *event)
{
    // Sent before the native window is mapped, so it never shows uncut.
    if (watched == window && event->type() == QEvent::Show)
        apply();
    return false;
}

void WindowShape::apply()
{
    // The native window's shape only: the widget's mask would also clip and offset its painting.
    QWindow *native = window->windowHandle();
    if (!native || !window->isVisible())
        return;
    const QRegion shape = composited ? QRegion() : QRegion(circle, QRegion::Ellipse);
    if (shape == applied)
        return;
    applied = shape;
    native->setMask(shape);
}
