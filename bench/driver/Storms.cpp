#include "Storms.h"

#include "BenchOptions.h"
#include "ProcessStats.h"
#include "Session.h"
#include "Stage.h"
#include "Stimulus.h"

#include <cstdio>
#include <vector>

using namespace Stimulus;

namespace {

// A storm as an accessory in a hurry would send it: mode changes, colours in the same mode, now
// and then mode 0 and a mode the overlay ignores. mode follows what the overlay will show.
std::vector<uint32_t> stormReports(int count, int &mode)
{
    std::vector<uint32_t> reports;
    reports.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const Rgb color = {i & 0x7f, 16, 16};
        if (i % 100 == 99) {
            reports.push_back(report(9, color));
        } else if (i % 3 == 0) {
            mode = i % 300 == 0 ? 0 : nextMode(mode);
            reports.push_back(report(mode, color));
        } else {
            reports.push_back(report(mode, color));
        }
    }
    return reports;
}

} // namespace

Storms::Storms(Session &session, const BenchOptions &options)
    : session(session)
    , options(options)
{
}

void Storms::run()
{
    const auto &stages = session.stages();
    std::vector<double> before(stages.size());
    const int total = options.warmupStorms + options.storms;
    for (int storm = 0; storm < total; ++storm) {
        const bool warmup = storm < options.warmupStorms;
        std::fprintf(stderr, "bench: storm %d of %d%s\n", storm + 1, total, warmup ? " (warm-up)" : "");
        for (int turn = 0; turn < 2; ++turn) {
            Stage &stage = *stages[size_t((storm + turn) % 2)];
            Subject &subject = stage.subject;
            Figures &figures = stage.figures;
            const std::vector<uint32_t> reports = stormReports(options.stormSize, figures.mode);
            const long expected = subject.reportLines() + long(reports.size());
            const long linesBefore = subject.reportLines();
            const TimePoint sent = Clock::now();
            subject.sendMany(reports);
            const bool allLogged = session.waitFor([&] { return subject.reportLines() >= expected; }, 60000);
            figures.stormDrain.push_back(allLogged ? millisecondsBetween(sent, Clock::now()) : NotMeasured);
            figures.stormSent += long(reports.size());
            figures.stormLogged += subject.reportLines() - linesBefore;

            const Rgb color = Palette[size_t(storm) % (sizeof Palette / sizeof Palette[0])];
            figures.stormResponse.push_back(
                session.reportToPixel(subject, report(figures.mode, color), RingX, RingY, showsColor(color)));
        }
        session.waitHidden();
        session.waitUntil(after(Clock::now(), 500));
        for (size_t i = 0; i < stages.size(); ++i) {
            const double rss = double(ProcessStats::residentKiB(stages[i]->subject.processId()));
            if (!warmup)
                stages[i]->figures.growth.push_back(rss - before[i]);
            std::fprintf(stderr, "bench: %s RSS after storm %d: %.0f KiB\n",
                stages[i]->subject.label().c_str(), storm + 1, rss);
            before[i] = rss;
        }
        before[0] = busStorm(storm, warmup, before[0]);
    }
}

double Storms::busStorm(int storm, bool warmup, double rssBefore)
{
    Stage &stage = *session.stages()[0];
    Subject &subject = stage.subject;
    Figures &figures = stage.figures;
    const BusClient &bus = session.bus();
    const std::vector<uint32_t> calls = stormReports(options.busStormSize, figures.mode);
    const long answeredBefore = bus.answered();
    const long settledBefore = bus.answered() + bus.failed();
    const long expectedLines = subject.reportLines() + long(calls.size());
    const TimePoint sent = Clock::now();
    session.send(subject, Session::Channel::SessionBus, calls);
    // Answered, and each report logged: the answer follows the debug line, but the line comes
    // through a pipe of its own.
    const bool allAnswered = session.waitFor(
        [&] {
            return bus.answered() + bus.failed() >= settledBefore + long(calls.size()) &&
                subject.reportLines() >= expectedLines;
        },
        60000);
    figures.busStormDrain.push_back(allAnswered ? millisecondsBetween(sent, Clock::now()) : NotMeasured);
    figures.busStormSent += long(calls.size());
    figures.busStormAnswered += bus.answered() - answeredBefore;

    // Not the colour with which the overlay answered after the X11 storm.
    const Rgb color = Palette[size_t(storm + 1) % (sizeof Palette / sizeof Palette[0])];
    figures.busStormResponse.push_back(session.reportToPixel(
        subject, report(figures.mode, color), RingX, RingY, showsColor(color), Session::Channel::SessionBus));
    session.waitHidden();
    session.waitUntil(after(Clock::now(), 500));
    const double rss = double(ProcessStats::residentKiB(subject.processId()));
    if (!warmup)
        figures.busGrowth.push_back(rss - rssBefore);
    std::fprintf(stderr,
        "bench: overlay RSS before and after %d calls through the session bus: %.0f, %.0f KiB\n",
        options.busStormSize, rssBefore, rss);
    return rss;
}
