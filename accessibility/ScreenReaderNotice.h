#ifndef SCREENREADERNOTICE_H
#define SCREENREADERNOTICE_H

#include <QObject>

class QString;
class QWidget;

// Makes the overlay heard as well as seen: the window becomes one accessible notification, named
// after the caption it shows, announced each time it comes on screen and each time its caption
// changes while it is on screen. Qt's own bridges answer the readers' questions; what announces
// differs per platform (ScreenReaderNotice_<platform>.cpp).
class ScreenReaderNotice : public QObject
{
public:
    // The window shows `caption` to begin with. Made before a reader can ask for the window (before
    // the event loop runs): Qt keeps the interface it first makes for an object.
    ScreenReaderNotice(QWidget *window, const QString &caption);
    ~ScreenReaderNotice() override;

    // The window shows `caption` from now on: announced at once while the window is on screen,
    // otherwise as it comes on screen. Call it before showing the window for the new caption, so
    // that the window never comes on screen under the caption before.
    void announce(const QString &caption);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The window has just come on screen.
    void announceShown();
    // The window's caption changed while it is on screen.
    void announceChanged();

    QWidget *window;
};

#endif // SCREENREADERNOTICE_H
