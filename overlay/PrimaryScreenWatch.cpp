#include "PrimaryScreenWatch.h"

#include <QGuiApplication>
#include <QScreen>

PrimaryScreenWatch::PrimaryScreenWatch(QObject *parent)
    : QObject(parent)
{
    // Qt names a new primary screen when the old one goes, but not always when a screen is added
    // or removed elsewhere: every one of these asks again which screen is primary.
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &PrimaryScreenWatch::followPrimary);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, &PrimaryScreenWatch::followPrimary);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &PrimaryScreenWatch::followPrimary);
    followPrimary();
}

qreal PrimaryScreenWatch::devicePixelRatio() const
{
    return screen ? screen->devicePixelRatio() : qreal(1);
}

void PrimaryScreenWatch::followPrimary()
{
    QScreen *primary = QGuiApplication::primaryScreen();
    if (primary != screen) {
        disconnect(screenConnection);
        screen = primary;
        if (primary)
            screenConnection = connect(primary, &QScreen::geometryChanged, this, &PrimaryScreenWatch::take);
    }
    // Without any screen (the last one unplugged) the window stays where it was.
    if (primary)
        take(primary->geometry());
}

void PrimaryScreenWatch::take(const QRect &geometry)
{
    if (geometry == current)
        return;
    current = geometry;
    Q_EMIT geometryChanged(geometry);
}
