#include "WindowFade.h"

#include "NativeWindow.h"

#include <QAbstractAnimation>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QPropertyAnimation>
#include <QWidget>

#include <algorithm>

namespace {

// The window's pixels, drawn before it, keep the share of their alpha that its own alpha gives.
// A graphics effect on the window would do the same, but the window's children with effects of
// their own would vanish from it.
class Curtain : public QWidget
{
public:
    explicit Curtain(QWidget *window)
        : QWidget(window)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

    qreal opacity = 1.0;

    void setOpacity(qreal value)
    {
        opacity = value;
        // Fully opaque, it has nothing to do and costs no painting.
        setVisible(opacity < 1.0);
        update();
    }

    // The window's content as a fade begins, when nothing in it moves (null otherwise): each frame
    // is then this one picture at the frame's opacity. Covering the window, the curtain is then
    // opaque to Qt, which paints nothing beneath it again.
    void holdStill(const QPixmap &picture)
    {
        still = picture;
        setAttribute(Qt::WA_OpaquePaintEvent, !still.isNull());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (!still.isNull()) {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawPixmap(0, 0, still);
        }
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(rect(), QColor(0, 0, 0, qRound(opacity * 255)));
    }

private:
    QPixmap still;
};

// Whether anything in the window animates, besides its fades.
bool anythingMoves(const QWidget *window)
{
    const auto animations = window->findChildren<QAbstractAnimation *>();
    return std::any_of(animations.begin(), animations.end(), [](const QAbstractAnimation *animation) {
        return animation->state() == QAbstractAnimation::Running;
    });
}

} // namespace

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
    if (used == Method::Painted)
        curtain = new Curtain(window);
}

QVariantAnimation *WindowFade::to(qreal endOpacity, int durationMs)
{
    QVariantAnimation *fade = nullptr;
    if (used == Method::WindowOpacity) {
        fade = new QPropertyAnimation(window, "windowOpacity", window);
        // Each step reaches the compositor as it is made (the change is set before the signal):
        // a fading-out window repaints nothing that would carry it there.
        QObject::connect(fade, &QVariantAnimation::valueChanged, window, [] { NativeWindow::sendPending(); });
    } else if (used == Method::Painted) {
        // Starting a fade stops the one still running, as a second animation of the window's
        // opacity does.
        for (auto *running : window->findChildren<QVariantAnimation *>(
                 QStringLiteral("paintedFade"), Qt::FindDirectChildrenOnly))
            running->stop();
        fade = new QVariantAnimation(window);
        fade->setObjectName(QStringLiteral("paintedFade"));
        auto *painted = static_cast<Curtain *>(curtain);
        painted->setGeometry(window->rect());
        painted->raise();
        // Taken while the curtain is down, as the window stands at full opacity.
        const bool still = endOpacity == 0.0 && painted->isHidden() && !anythingMoves(window);
        painted->holdStill(still ? window->grab() : QPixmap());
        QObject::connect(fade, &QVariantAnimation::valueChanged, painted,
            [painted](const QVariant &value) { painted->setOpacity(value.toReal()); });
        // A hidden window keeps no picture.
        QObject::connect(
            fade, &QAbstractAnimation::finished, painted, [painted] { painted->holdStill(QPixmap()); });
    } else {
        return nullptr;
    }
    fade->setDuration(durationMs);
    fade->setStartValue(1.0 - endOpacity);
    fade->setEndValue(endOpacity);
    return fade;
}

qreal WindowFade::opacity() const
{
    if (used == Method::WindowOpacity)
        return window->windowOpacity();
    if (used == Method::Painted)
        return static_cast<const Curtain *>(curtain)->opacity;
    return 1.0;
}
