#ifndef OVERLAYSTEPS_H
#define OVERLAYSTEPS_H

#include <QList>

class AnimationClock;
class Lumivane;
class QPropertyAnimation;

// Steps of the overlay's display that the tests take in place of time.
namespace OverlaySteps {

// The window's fades in or out that are running now.
QList<QPropertyAnimation *> fades(Lumivane &window);
// Runs the one fade in progress to its end on the clock.
void finishFade(Lumivane &window, AnimationClock &clock);
// Lets the running auto-hide timer run out.
void fireTimer(Lumivane &window);

} // namespace OverlaySteps

#endif // OVERLAYSTEPS_H
