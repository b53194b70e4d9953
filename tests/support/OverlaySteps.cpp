#include "OverlaySteps.h"

#include "AnimationClock.h"

#include "overlay/Lumivane.h"

#include <QPropertyAnimation>
#include <QTest>
#include <QTimer>

namespace OverlaySteps {

QList<QPropertyAnimation *> fades(Lumivane &window)
{
    QList<QPropertyAnimation *> result;
    for (auto *animation : window.findChildren<QPropertyAnimation *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (animation->propertyName() == "windowOpacity" && animation->state() == QAbstractAnimation::Running)
            result.append(animation);
    }
    return result;
}

void finishFade(Lumivane &window, AnimationClock &clock)
{
    const QList<QPropertyAnimation *> running = fades(window);
    QCOMPARE(running.size(), 1);
    clock.advance(running.first()->duration() - running.first()->currentTime());
    QVERIFY(fades(window).isEmpty());
}

void fireTimer(Lumivane &window)
{
    QVERIFY(window.timer->isActive());
    QVERIFY(QMetaObject::invokeMethod(window.timer, "timeout"));
}

} // namespace OverlaySteps
