#ifndef WINDOWFADE_H
#define WINDOWFADE_H

#include <QString>

class QVariantAnimation;
class QWidget;

// Fades a top-level window in and out the one way its windowing system lets it: through the
// window's opacity where the system composes windows by it (X11, Windows), in the window's own
// painting where a client has no say over its opacity (Wayland), and not at all where neither
// would be seen (offscreen, minimal, vnc): there the window is simply shown and hidden, without a
// warning at every frame.
class WindowFade
{
public:
    enum class Method { WindowOpacity, Painted, None };

    // How windows fade on the Qt platform of that name.
    static Method methodFor(const QString &platformName);

    // Fades by the method of the platform the application runs on.
    explicit WindowFade(QWidget *window);
    WindowFade(QWidget *window, Method method);

    Method method() const { return used; }

    // A fade from the other end to the given opacity (0 or 1), linear, not yet started; owned by
    // the window, so that a fade still running at exit goes with it. Null where nothing fades.
    QVariantAnimation *to(qreal endOpacity, int durationMs);

    // The window's opacity as the fade has left it: 1 where nothing fades.
    qreal opacity() const;

private:
    QWidget *window;
    Method used;
    // Painted last, over everything else the window draws: scales what lies beneath by the
    // fade's opacity.
    QWidget *curtain = nullptr;
};

#endif // WINDOWFADE_H
