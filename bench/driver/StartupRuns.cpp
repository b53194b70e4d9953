#include "StartupRuns.h"

#include "BenchOptions.h"
#include "ProcessStats.h"
#include "Session.h"
#include "Stage.h"
#include "Stimulus.h"

#include <cmath>
#include <cstdio>
#include <utility>

using namespace Stimulus;

namespace {

// A program counts as started once it has been quiet this long.
constexpr int QuietMs = 250;

} // namespace

StartupRuns::StartupRuns(Session &session, const BenchOptions &options)
    : session(session)
    , options(options)
{
}

StartupRuns::Settled StartupRuns::startAndSettle(Stage &stage, const std::vector<std::string> &changes)
{
    Subject &subject = stage.subject;
    subject.start(changes);
    int64_t lastCpu = -1;
    TimePoint lastChange = subject.startedAt();
    // Started: the report selection owned, the tray icon (if it asked for one) drawn, and the
    // process quiet, its event loop waiting.
    const bool settled = session.waitFor(
        [&] {
            const TimePoint now = Clock::now();
            const int64_t cpu = ProcessStats::cpuNanoseconds(subject.processId());
            if (cpu != lastCpu) {
                lastCpu = cpu;
                lastChange = now;
            }
            if (!subject.ownedAt() || (stage.tray.dockedAt() && !stage.tray.lastIconDrawing()))
                return false;
            return millisecondsBetween(lastChange, now) >= QuietMs;
        },
        20000);
    if (!settled)
        return {NotMeasured, NotMeasured};
    return {millisecondsBetween(subject.startedAt(), lastChange), double(lastCpu) / 1e6};
}

void StartupRuns::startAndMeasure(Stage &stage)
{
    Subject &subject = stage.subject;
    Figures &figures = stage.figures;
    const Settled settled = startAndSettle(stage, {});
    figures.startup.push_back(settled.milliseconds);
    figures.startupCpu.push_back(settled.cpuMilliseconds);
    figures.docked = stage.tray.lastIconDrawing().has_value();
    session.waitUntil(after(Clock::now(), 300));
    figures.rssStart.push_back(double(ProcessStats::residentKiB(subject.processId())));
    figures.pssStart.push_back(double(ProcessStats::proportionalKiB(subject.processId())));
    figures.libraries = ProcessStats::mappedLibraries(subject.processId());
    subject.stop();
}

void StartupRuns::startRound(int round)
{
    const auto &stages = session.stages();
    for (int turn = 0; turn < 3; ++turn) {
        const int which = (round + turn) % 3;
        if (which == 2)
            startWithIcons(*stages[0]);
        else
            startAndMeasure(*stages[size_t(which)]);
    }
}

void StartupRuns::startWithIcons(Stage &overlay)
{
    if (options.iconData.empty())
        return;
    // The package's icons installed in the hicolor theme, as a packaged install has them.
    Figures &figures = overlay.figures;
    const Settled settled =
        startAndSettle(overlay, {"XDG_DATA_DIRS=" + options.iconData + ":/usr/local/share:/usr/share"});
    session.waitUntil(after(Clock::now(), 300));
    figures.startupCpuIcons.push_back(settled.cpuMilliseconds);
    figures.rssIcons.push_back(std::isnan(settled.milliseconds)
            ? NotMeasured
            : double(ProcessStats::residentKiB(overlay.subject.processId())));
    overlay.subject.stop();
}

void StartupRuns::run()
{
    const auto &stages = session.stages();
    for (int run = 0; run < options.runs; ++run) {
        std::fprintf(stderr, "bench: start-up run %d of %d\n", run + 1, options.runs);
        Stage &overlay = *stages[0];
        Figures &figures = overlay.figures;
        const std::pair<std::vector<std::string>, std::vector<double> *> variants[] = {
            // Where no session bus answers: an address at which none listens.
            {{"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/lumivane-no-bus"}, &figures.rssWithoutBus},
            // A 200 % screen as X11 desktops set it (Xft.dpi), with Qt's scaling on and off.
            {{"QT_FONT_DPI=192"}, &figures.rssScaled},
            {{"QT_FONT_DPI=192", "QT_ENABLE_HIGHDPI_SCALING=0"}, &figures.rssUnscaled},
        };
        for (const auto &[changes, rss] : variants) {
            const Settled settled = startAndSettle(overlay, changes);
            session.waitUntil(after(Clock::now(), 300));
            rss->push_back(std::isnan(settled.milliseconds)
                    ? NotMeasured
                    : double(ProcessStats::residentKiB(overlay.subject.processId())));
            overlay.subject.stop();
        }
        for (int round = 0; round < options.starts; ++round)
            startRound(run * options.starts + round);
        for (int turn = 0; turn < 2; ++turn) {
            // Alternate who goes first, so that neither always meets a warmer page cache.
            Stage &stage = *stages[size_t((run + turn) % 2)];
            startAndSettle(stage, {});
            stage.figures.mode = 0;
            const double first = session.reportToPixel(stage.subject, report(1, Dark), DiscX, DiscY, drawn);
            stage.figures.firstReport.push_back(first);
            stage.figures.modeReport.push_back(first);
            stage.figures.mode = 1;
            // Let the display settle before the other program starts.
            session.waitUntil(after(Clock::now(), ColorDelayMs));
        }
        session.waitHidden();
        session.waitUntil(after(Clock::now(), 500));
        for (const auto &stage : stages) {
            stage->figures.rssDisplay.push_back(
                double(ProcessStats::residentKiB(stage->subject.processId())));
            if (run + 1 < options.runs)
                stage->subject.stop();
        }
    }
}
