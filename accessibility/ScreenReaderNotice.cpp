#include "ScreenReaderNotice.h"

#include "OverlayAccessible.h"

#include <QAccessible>
#include <QEvent>
#include <QList>
#include <QWidget>

namespace {

// The windows that are notifications, for the factory Qt asks for each object's interface.
QList<QObject *> &noticeWindows()
{
    static QList<QObject *> windows;
    return windows;
}

QAccessibleInterface *noticeInterface(const QString &, QObject *object)
{
    if (!noticeWindows().contains(object))
        return nullptr;
    return new OverlayAccessible(static_cast<QWidget *>(object));
}

} // namespace

ScreenReaderNotice::ScreenReaderNotice(QWidget *window, const QString &caption)
    : QObject(window)
    , window(window)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(noticeInterface);
        return true;
    }();
    Q_UNUSED(factoryInstalled)
    noticeWindows().append(window);
    window->setAccessibleName(caption);
    window->installEventFilter(this);
}

ScreenReaderNotice::~ScreenReaderNotice()
{
    noticeWindows().removeOne(window);
}

void ScreenReaderNotice::announce(const QString &caption)
{
    window->setAccessibleName(caption);
    if (window->isVisible())
        announceChanged();
}

bool ScreenReaderNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::Show)
        announceShown();
    return false;
}
