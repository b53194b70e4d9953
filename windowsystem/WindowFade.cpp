#include "WindowFade.h"

#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QWidget>

WindowFade::Method WindowFade::methodFor(const QString &platformName)
{
    if (platformName == QLatin1String("xcb") || platformName == QLatin1String("windows"))
        return Method::WindowOpacity;
    // "wayland", "wayland-egl", "wayland-brcm" and the like: the compositor alone decides the
    // opacity of a surface, and Qt warns at every attempt to set it.
    if (platformName.startsWith(QLatin1String("wayland")))
        return Method::Painted;
    return Method::None;
}

WindowFade::WindowFade(QWidget *window)
    : WindowFade(window, methodFor(QGuiApplication::platformName()))
{
}

WindowFade::WindowFade(QWidget *window, Method method)
    : window(window)
    , used(method)
{
    if (used != Method::Painted)
        return;
    // Fully opaque, the effect paints the window directly; it goes through a pixmap only while
    // a fade runs.
    painted = new QGraphicsOpacityEffect(window);
    window->setGraphicsEffect(painted);
}

QPropertyAnimation *WindowFade::to(qreal endOpacity, int durationMs)
{
    QPropertyAnimation *fade = nullptr;
    if (used == Method::WindowOpacity)
        fade = new QPropertyAnimation(window, "windowOpacity", window);
    else if (used == Method::Painted)
        fade = new QPropertyAnimation(painted, "opacity", window);
    else
        return nullptr;
    fade->setDuration(durationMs);
    fade->setStartValue(1.0 - endOpacity);
    fade->setEndValue(endOpacity);
    return fade;
}
