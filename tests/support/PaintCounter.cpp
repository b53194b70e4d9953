#include "PaintCounter.h"

#include <QEvent>
#include <QWidget>

PaintCounter::PaintCounter(std::initializer_list<QWidget *> widgets)
{
    for (QWidget *widget : widgets)
        widget->installEventFilter(this);
}

bool PaintCounter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint)
        ++counts[watched];
    return false;
}
