#include "StartupRuns.h"

#include "BenchOptions.h"
#include "ProcessStats.h"
#include "Session.h"
#include "Stage.h"
#include "Stimulus.h"

#include <cstdio>

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

void StartupRuns::startAndSettle(Stage &stage)
{
    Subject &subject = stage.subject;
    Figures &figures = stage.figures;
    subject.start();
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
    figures.startup.push_back(settled ? millisecondsBetween(subject.startedAt(), lastChange) : NotMeasured);
    figures.startupCpu.push_back(settled ? double(lastCpu) / 1e6 : NotMeasured);
    figures.docked = stage.tray.lastIconDrawing().has_value();
    figures.mode = 0;
    session.waitUntil(after(Clock::now(), 300));
    figures.rssStart.push_back(double(ProcessStats::residentKiB(subject.processId())));
    figures.pssStart.push_back(double(ProcessStats::proportionalKiB(subject.processId())));
    figures.libraries = ProcessStats::mappedLibraries(subject.processId());
}

void StartupRuns::run()
{
    const auto &stages = session.stages();
    for (int run = 0; run < options.runs; ++run) {
        std::fprintf(stderr, "bench: start-up run %d of %d\n", run + 1, options.runs);
        for (int turn = 0; turn < 2; ++turn) {
            // Alternate who goes first, so that neither always meets a warmer page cache.
            Stage &stage = *stages[size_t((run + turn) % 2)];
            startAndSettle(stage);
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
