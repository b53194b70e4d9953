#include "overlay/Lumivane.h"
#include "tools/gattlink-sim/Tour.h"
#include "widgets/ring.h"

#include <QSet>
#include <QTimer>
#include <QtTest>

namespace {

// The steps up to where the tour comes back to its first report.
QList<Tour::Step> opening(Tour &tour)
{
    QList<Tour::Step> steps {tour.next()};
    for (Tour::Step step = tour.next(); step.parameter != steps.first().parameter && steps.size() < 100;
         step = tour.next())
        steps.append(step);
    return steps;
}

} // namespace

// The simulator's tour played into a real overlay: it must show everything the overlay can show.
class tst_Tour : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void openingShowsEveryModeAndColours();
    void loopRepeatsSlowly();
};

void tst_Tour::openingShowsEveryModeAndColours()
{
    Tour tour;
    const QList<Tour::Step> steps = opening(tour);
    QVERIFY(steps.size() < 100);

    Lumivane window;
    QSet<int> modesShown;
    QSet<QRgb> coloursShown;
    int openingMs = 0;
    for (const Tour::Step &step : steps) {
        openingMs += step.delayMs;
        const QColor colourBefore = window.ringWidget->ringColor;
        QVERIFY(window.receiveReport(step.parameter));
        // A mode change holds the display 4 s, a colour change 5 s.
        if (window.timer->interval() == 4000)
            modesShown.insert(window.currentMode);
        if (window.ringWidget->ringColor != colourBefore)
            coloursShown.insert(window.ringWidget->ringColor.rgb());
    }
    QCOMPARE(modesShown, (QSet<int> {0, 1, 2, 3}));
    QVERIFY2(coloursShown.size() >= 3, qPrintable(QString::number(coloursShown.size())));
    // Short enough to watch, with time for each cross-fade (1 s) to play out.
    QVERIFY2(openingMs <= 20000, qPrintable(QString::number(openingMs)));
    for (const Tour::Step &step : steps.mid(1))
        QVERIFY(step.delayMs >= 1000);
}

void tst_Tour::loopRepeatsSlowly()
{
    Tour tour;
    const QList<Tour::Step> steps = opening(tour);
    Tour again;
    for (int i = 0; i < steps.size(); ++i)
        again.next();
    // The same reports again and again, each after the overlay has had time to hide (5 s after
    // a colour).
    for (int round = 0; round < 3; ++round) {
        for (const Tour::Step &expected : steps) {
            const Tour::Step step = again.next();
            QCOMPARE(step.parameter, expected.parameter);
            QVERIFY(step.delayMs > 5000);
        }
    }
}

QTEST_MAIN(tst_Tour)
#include "tst_tour.moc"
