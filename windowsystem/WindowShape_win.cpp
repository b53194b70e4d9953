#include "WindowShape.h"

#include <QWidget>

// Windows composites every window since Windows 8: nothing to follow, the window stays square.
WindowShape::WindowShape(QWidget *window)
    : QObject(window)
    , window(window)
{
}
