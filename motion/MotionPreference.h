#ifndef MOTIONPREFERENCE_H
#define MOTIONPREFERENCE_H

#include <QObject>

// Whether the desktop lets programs animate: users turn animations off for vestibular disorders
// or on remote sessions. Read without waiting at start and followed as the user changes it; until
// the desktop has answered, and where it has nothing to say, animations are on.
// Linux: the desktop portal's settings (GNOME's enable-animations, KDE's AnimationDurationFactor);
// without a portal, KDE's own kdeglobals on a KDE desktop. Windows: "Show animations in Windows".
class MotionPreference : public QObject
{
    Q_OBJECT

public:
    explicit MotionPreference(QObject *parent = nullptr);

    bool animate() const { return animating; }
    // Whether the desktop has answered, or it is clear that none of its settings will.
    bool isSettled() const { return settled; }

Q_SIGNALS:
    void animateChanged(bool animate);

private:
    // Starts following the desktop's setting.
    void follow();
    void setAnimate(bool animate);
    // The first answer.
    void settle(bool animate);

    bool animating = true;
    bool settled = false;
};

#endif // MOTIONPREFERENCE_H
