#include "MotionPreference.h"

MotionPreference::MotionPreference(QObject *parent)
    : QObject(parent)
{
    follow();
}

void MotionPreference::setAnimate(bool animate)
{
    if (animate == animating)
        return;
    animating = animate;
    Q_EMIT animateChanged(animating);
}

void MotionPreference::settle(bool animate)
{
    settled = true;
    setAnimate(animate);
}
