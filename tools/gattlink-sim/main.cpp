#include "ParentProcess.h"
#include "Tour.h"
#include "channel/ReportSender.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int TickMs = 250;
// Without an overlay to report to, a companion has nothing to do.
constexpr int OverlayAbsenceLimitMs = 10000;

} // namespace

// Stands in for the companion program when no accessory is at hand: reports a tour of the
// modes and colours to the overlay that started it, and ends with that overlay.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const ParentProcess parent;
    ReportSender sender;
    Tour tour;
    Tour::Step step = tour.next();
    QElapsedTimer sinceStep;
    sinceStep.start();
    QElapsedTimer overlayAbsent;

    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        if (parent.isGone()) {
            QCoreApplication::quit();
            return;
        }
        if (!sender.overlayRunning()) {
            if (!overlayAbsent.isValid()) {
                overlayAbsent.start();
            } else if (overlayAbsent.hasExpired(OverlayAbsenceLimitMs)) {
                std::fprintf(stderr, "gattlink-sim: %s; leaving\n", qPrintable(sender.errorString()));
                QCoreApplication::quit();
            }
            return;
        }
        overlayAbsent.invalidate();
        // A report that finds no overlay is sent again on a later tick rather than skipped.
        if (sinceStep.hasExpired(step.delayMs) && sender.send(step.parameter)) {
            step = tour.next();
            sinceStep.start();
        }
    });
    tick.start(TickMs);
    return app.exec();
}
