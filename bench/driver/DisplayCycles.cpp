#include "DisplayCycles.h"

#include "BenchOptions.h"
#include "ProcessStats.h"
#include "Session.h"
#include "Stage.h"
#include "Stimulus.h"

#include <cstdio>
#include <utility>
#include <vector>

using namespace Stimulus;

DisplayCycles::DisplayCycles(Session &session, const BenchOptions &options)
    : session(session)
    , options(options)
{
}

void DisplayCycles::run()
{
    const auto &stages = session.stages();
    for (int cycle = 0; cycle < options.cycles; ++cycle) {
        std::fprintf(stderr, "bench: display cycle %d of %d\n", cycle + 1, options.cycles);
        std::vector<std::pair<Stage *, long>> holds;
        for (int turn = 0; turn < 2; ++turn) {
            Stage &stage = *stages[size_t((cycle + turn) % 2)];
            Subject &subject = stage.subject;
            Figures &figures = stage.figures;
            const pid_t pid = subject.processId();

            const int mode = nextMode(figures.mode);
            figures.mode = mode;
            int64_t cpu = ProcessStats::cpuNanoseconds(pid);
            const TimePoint modeSent = Clock::now();
            figures.modeReport.push_back(
                session.reportToPixel(subject, report(mode, Dark), DiscX, DiscY, drawn));
            figures.cycleModeReport.push_back(figures.modeReport.back());
            session.waitUntil(after(modeSent, ModeChangeMs));
            figures.modeCpu.push_back(
                double(ProcessStats::cpuNanoseconds(pid) - cpu) / 1e6 * 1000 / ModeChangeMs);
            session.waitUntil(after(modeSent, ColorDelayMs));

            const Rgb color = Palette[size_t(cycle) % (sizeof Palette / sizeof Palette[0])];
            cpu = ProcessStats::cpuNanoseconds(pid);
            const TimePoint colorSent = Clock::now();
            figures.colorReport.push_back(
                session.reportToPixel(subject, report(mode, color), RingX, RingY, showsColor(color)));
            session.waitUntil(after(colorSent, PulseMs));
            figures.pulseCpu.push_back(
                double(ProcessStats::cpuNanoseconds(pid) - cpu) / 1e6 * 1000 / PulseMs);
            session.waitUntil(after(colorSent, HoldFromMs));
            holds.emplace_back(&stage, subject.drawings());
        }
        // The hold ends when the window goes; the fade-out only changes its opacity.
        session.waitHidden();
        for (const auto &[stage, drawingsBefore] : holds)
            stage->figures.holdDrawings += stage->subject.drawings() - drawingsBefore;
        session.waitUntil(after(Clock::now(), 300));

        // The overlay once more, the mode change through the session bus.
        Figures &overlay = stages[0]->figures;
        overlay.mode = nextMode(overlay.mode);
        overlay.busModeReport.push_back(session.reportToPixel(stages[0]->subject, report(overlay.mode, Dark),
            DiscX, DiscY, drawn, Session::Channel::SessionBus));
        session.waitHidden();
        session.waitUntil(after(Clock::now(), 300));
    }
}
