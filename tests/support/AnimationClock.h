#ifndef ANIMATIONCLOCK_H
#define ANIMATIONCLOCK_H

#include <QAnimationDriver>

class QAbstractAnimation;

// The animation clock of a test. Installed, it drives every animation in place of Qt's timer:
// time moves only when the test advances it, and by exactly the time the test says. Install it
// before the test's first animation starts (in init()) and uninstall it in cleanup().
class AnimationClock : public QAnimationDriver
{
public:
    explicit AnimationClock(QObject *parent = nullptr);

    void install();
    void uninstall();
    // Moves every running animation forward, as that much time on Qt's timer would, and lets the
    // ones that finished and asked for it be deleted.
    void advance(int ms);

    qint64 elapsed() const override;

private:
    // Lets the animations started since the last step join in.
    static void startPending();

    QAbstractAnimation *keepRunning;
    qint64 now = 0;
};

#endif // ANIMATIONCLOCK_H
