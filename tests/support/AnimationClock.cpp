#include "AnimationClock.h"

#include <QAbstractAnimation>
#include <QCoreApplication>
#include <QTest>

namespace {

// Runs for as long as the clock is installed. While a pause in a group is the only other thing
// running, Qt would stop the driver and end the pause on a timer of the wall clock; with this
// running, the clock stays in charge of every step.
class Endless : public QAbstractAnimation
{
public:
    using QAbstractAnimation::QAbstractAnimation;
    int duration() const override { return -1; }

protected:
    void updateCurrentTime(int) override { }
};

} // namespace

AnimationClock::AnimationClock(QObject *parent)
    : QAnimationDriver(parent)
    , keepRunning(new Endless(this))
{
}

void AnimationClock::install()
{
    QAnimationDriver::install();
    keepRunning->start();
    // Qt registers a started animation, and then starts its timer, each on a queued call; once
    // both have run the driver runs, and a step of no time makes the clock's time Qt's reference.
    startPending();
    startPending();
    QVERIFY2(isRunning(), "the animation clock did not start");
    advanceAnimation();
}

void AnimationClock::uninstall()
{
    keepRunning->stop();
    QAnimationDriver::uninstall();
}

void AnimationClock::advance(int ms)
{
    startPending();
    now += ms;
    advanceAnimation();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

qint64 AnimationClock::elapsed() const
{
    return now;
}

void AnimationClock::startPending()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}
