#ifndef WINDOWSHAPE_H
#define WINDOWSHAPE_H

#include <QObject>
#include <QRect>

class QWidget;

// Keeps a translucent window round where nothing composites it. Without a compositing manager an
// X server shows a translucent window's transparent pixels black, so the window is cut to the
// circle it draws in, for as long as no compositor runs; clicks outside the circle reach whatever
// lies below. Where a compositor runs (always on Windows) the window keeps its square.
class WindowShape : public QObject
{
    Q_OBJECT

public:
    // The window's native window exists already.
    explicit WindowShape(QWidget *window);

    // The circle the window draws in, as the bounds of the circle in the window's coordinates.
    void setCircle(const QRect &bounds);

private:
    void setComposited(bool composited);
    void apply();

    QWidget *window;
    QRect circle;
    bool composited = true;
};

#endif // WINDOWSHAPE_H
