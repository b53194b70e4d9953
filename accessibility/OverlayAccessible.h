#ifndef OVERLAYACCESSIBLE_H
#define OVERLAYACCESSIBLE_H

#include <QAccessibleWidget>

// The overlay as an assistive technology sees it: one notification, named after the caption it
// shows, with nothing inside. Its icons and captions lie stacked and faded out rather than hidden,
// so a reader that walked them would read every mode's caption, not only the one on show.
class OverlayAccessible : public QAccessibleWidget
{
public:
    explicit OverlayAccessible(QWidget *window);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
};

#endif // OVERLAYACCESSIBLE_H
