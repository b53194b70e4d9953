#include "ScreenReaderNotice.h"

#include <QAccessible>
#include <QWidget>

void ScreenReaderNotice::announceShown()
{
    // Qt's AT-SPI bridge itself tells the readers that the window became "showing", which they
    // speak for a notification, with its name.
}

void ScreenReaderNotice::announceChanged()
{
    // Readers speak a notification when it becomes "showing", not when its name changes: the window
    // is said to show again, under its new name.
    QAccessibleEvent event(window, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&event);
}
