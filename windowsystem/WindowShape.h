#ifndef WINDOWSHAPE_H
#define WINDOWSHAPE_H

#include <QObject>
#include <QRect>
#include <QRegion>

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setComposited(bool composited);
    void apply();

    QWidget *window;
    QRect circle;
    bool composited = true;
    // The shape last set on the native window.
    QRegion applied;
};

#endif // WINDOWSHAPE_H
