#ifndef LUMIVANE_H
#define LUMIVANE_H

#include "app/QtApi.h"

#include <QPixmap>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <functional>
#include <memory>

class CompanionSupervisor;
class MotionPreference;
class PrimaryScreenWatch;
class QProcess;
class QVariantAnimation;
class QSequentialAnimationGroup;
class QTimer;
class ScreenReaderNotice;
class SystemTray;
class WindowFade;
class WindowShape;
class circle;
class iconlabel;
class ring;

// The overlay: a small frameless, translucent, always-on-top tool window centred on the screen.
// It stays hidden until something asks for the display, plays the mode and colour reports of
// the companion program, and fades away on its own a few seconds after the last one.
class Lumivane : public QWidget
{
    Q_OBJECT

public:
    explicit Lumivane(QWidget *parent = nullptr);
    ~Lumivane() override;

    // Where the window goes on a screen of the given geometry (logical pixels, origin included):
    // centred, a square of ring::Side.
    static QRect geometryFor(const QRect &screen);

    // Decodes, logs and plays one report (mode << 24 | R << 16 | G << 8 | B); false when the
    // mode is not one of the four the display knows.
    bool receiveReport(quint32 parameter);
    // Called after each report played, whichever channel brought it, so that others learn of
    // the mode.
    void setReportObserver(std::function<void()> observer);

    QTimer *timer;
    QProcess *process;
    iconlabel *brightLabel;
    iconlabel *breathLabel;
    iconlabel *loopLabel;
    iconlabel *horseLabel;
    circle *circleWidget;
    ring *ringWidget;
    int currentMode;
    SystemTray *tray;

public Q_SLOTS:
    void showapp();

private Q_SLOTS:
    void iconIsActived(QSystemTrayIcon::ActivationReason reason);
    void hideapp();
    void sw_status();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, NativeEventResult *result) override;

private:
    void createIndicators();
    void useImagesFor(qreal ratio);
    void followRingOutline(int penWidth);
    void prepareCaptions();
    void playModeChange(int mode);
    void playColorChange(int red, int green, int blue);
    void fadeTo(qreal endOpacity);
    void hideAndForget();
    bool isHiddenOrHiding() const;
    static QPixmap paintedDisc(qreal ratio);

    // The cross-fade still running, stopped by the next mode change so that two never fight
    // over the same labels.
    QPointer<QSequentialAnimationGroup> crossFade;

    // The fade-out last started, which hides the window if it runs to its end.
    QPointer<QVariantAnimation> fadeOut;

    // Keeps the window centred on the primary screen as screens change.
    PrimaryScreenWatch *screenWatch;

    // Fades the window as the windowing system allows; where nothing can, it is simply shown
    // and hidden.
    std::unique_ptr<WindowFade> fade;

    // Whether the desktop lets the display move: without motion it shows and hides at once and
    // plays no ripple, pulse or cross-fade.
    MotionPreference *motion;

    // Starts and kills the companion through `process`, as the accessory comes and goes.
    CompanionSupervisor *supervisor;

    // The window cut to the ring's outer edge where nothing composites it.
    WindowShape *shape;

    // What screen readers hear of the overlay.
    ScreenReaderNotice *notice;

    // The device pixel ratio the mode icons were loaded for.
    qreal imageRatio = 0;

    // The dark disc as the last paint drew it, at that paint's pixel density.
    QPixmap disc;

    std::function<void()> reportObserver;
};

#endif // LUMIVANE_H
