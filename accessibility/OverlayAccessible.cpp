#include "OverlayAccessible.h"

OverlayAccessible::OverlayAccessible(QWidget *window)
    : QAccessibleWidget(window, QAccessible::Notification)
{
}

int OverlayAccessible::childCount() const
{
    return 0;
}

QAccessibleInterface *OverlayAccessible::child(int) const
{
    return nullptr;
}

int OverlayAccessible::indexOfChild(const QAccessibleInterface *) const
{
    return -1;
}

QAccessibleInterface *OverlayAccessible::childAt(int, int) const
{
    return nullptr;
}
