#include "Bench.h"

#include "ProcessStats.h"
#include "ResultTable.h"
#include "Statistics.h"
#include "Subject.h"
#include "TrayHost.h"
#include "XServer.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr double NotMeasured = std::numeric_limits<double>::quiet_NaN();

// A program counts as started once it has been quiet this long.
constexpr int QuietMs = 250;
// The display sequences the overlay plays: the cross-fade of a mode change lasts 1 s, the ring's
// pulse 1.2 s; the hold measured for drawings starts after both.
constexpr int ModeChangeMs = 1000;
constexpr int ColorDelayMs = 1400;
constexpr int PulseMs = 1200;
constexpr int HoldFromMs = 1500;

// The probes: a point of the dark disc (drawn by both programs as soon as they show) and a point
// of the ring (the overlay) or of the coloured disc (the floor).
constexpr int DiscX = 88;
constexpr int DiscY = 40;
constexpr int RingX = 88;
constexpr int RingY = 20;
// Both programs draw these parts with alpha 230.
constexpr int DrawnAlpha = 230;

struct Rgb
{
    int red, green, blue;
};

const Rgb Palette[] = {
    {230, 40, 40}, {40, 200, 60}, {50, 80, 230}, {240, 200, 30}, {200, 60, 220}, {30, 210, 210}};
const Rgb Dark = {20, 20, 20};

uint32_t report(int mode, Rgb color)
{
    return uint32_t(mode) << 24 | uint32_t(color.red) << 16 | uint32_t(color.green) << 8 |
        uint32_t(color.blue);
}

bool near(int value, int expected)
{
    return std::abs(value - expected) <= 6;
}

int channel(uint32_t pixel, int shift)
{
    return int((pixel >> shift) & 0xff);
}

// A drawn part of the window rather than the bare window: its alpha is the one both programs use.
bool drawn(uint32_t pixel)
{
    return near(channel(pixel, 24), DrawnAlpha);
}

// The pixel shows the colour, premultiplied by the drawing's alpha as the window stores it.
std::function<bool(uint32_t)> showsColor(Rgb color)
{
    return [color](uint32_t pixel) {
        return drawn(pixel) && near(channel(pixel, 16), color.red * DrawnAlpha / 255) &&
            near(channel(pixel, 8), color.green * DrawnAlpha / 255) &&
            near(channel(pixel, 0), color.blue * DrawnAlpha / 255);
    };
}

// The mode that follows in the accessory's cycle of the three modes that keep their colour.
int nextMode(int mode)
{
    return mode % 3 + 1;
}

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

std::string workFolder(const std::string &base, const std::string &name)
{
    const std::string folder = base + "/" + name;
    ::mkdir(folder.c_str(), 0755);
    return folder;
}

} // namespace

struct Bench::Stage
{
    Stage(const std::string &label, const std::string &executable, std::vector<std::string> environment,
        const std::string &work)
        : server(work + "/xvfb.log")
        , tray(server)
        , subject(label, executable, std::move(environment), server, tray, work)
    {
    }

    XServer server;
    TrayHost tray;
    Subject subject;
    Figures figures;
};

Bench::Bench(Options options)
    : options(std::move(options))
{
    const std::string &work = this->options.workDirectory;
    // The overlay gets the environment of a user's session as it is; only the floor is told to
    // leave out the OpenGL integration, as a bare program that draws nothing with it would be.
    stages.push_back(std::make_unique<Stage>("overlay", this->options.overlay,
        std::vector<std::string> {"QT_XCB_GL_INTEGRATION", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"},
        workFolder(work, "overlay")));
    stages.push_back(std::make_unique<Stage>("floor", this->options.floor,
        std::vector<std::string> {"QT_XCB_GL_INTEGRATION=none", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY"},
        workFolder(work, "floor")));
}

Bench::~Bench() = default;

void Bench::pump(int maxWaitMs)
{
    std::vector<pollfd> descriptors;
    for (const auto &stage : stages) {
        descriptors.push_back({xcb_get_file_descriptor(stage->server.connection()), POLLIN, 0});
        if (stage->subject.outputDescriptor() >= 0)
            descriptors.push_back({stage->subject.outputDescriptor(), POLLIN, 0});
    }
    bool dispatched = false;
    for (int round = 0; round < 2 && !dispatched; ++round) {
        if (round == 1)
            poll(descriptors.data(), descriptors.size(), maxWaitMs);
        for (const auto &stage : stages) {
            xcb_connection_t *connection = stage->server.connection();
            if (xcb_connection_has_error(connection))
                throw std::runtime_error("lost the connection to " + stage->server.displayName());
            while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
                const TimePoint at = Clock::now();
                if (!stage->tray.handleEvent(event, at))
                    stage->subject.handleEvent(event, at);
                std::free(event);
                dispatched = true;
            }
            stage->subject.readOutput();
        }
    }
}

bool Bench::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    const TimePoint deadline = after(Clock::now(), timeoutMs);
    for (;;) {
        if (condition())
            return true;
        const double left = millisecondsBetween(Clock::now(), deadline);
        if (left <= 0)
            return false;
        pump(std::min(5, int(std::ceil(left))));
    }
}

void Bench::waitUntil(TimePoint moment)
{
    for (double left = millisecondsBetween(Clock::now(), moment); left > 0;
         left = millisecondsBetween(Clock::now(), moment))
        pump(std::min(100, int(std::ceil(left))));
}

bool Bench::waitHidden()
{
    return waitFor(
        [this] {
            for (const auto &stage : stages) {
                if (stage->subject.mapped())
                    return false;
            }
            return true;
        },
        15000);
}

void Bench::startAndSettle(Stage &stage)
{
    Subject &subject = stage.subject;
    Figures &figures = stage.figures;
    subject.start();
    int64_t lastCpu = -1;
    TimePoint lastChange = subject.startedAt();
    // Started: the report selection owned, the tray icon (if it asked for one) drawn, and the
    // process quiet, its event loop waiting.
    const bool settled = waitFor(
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
    waitUntil(after(Clock::now(), 300));
    figures.rssStart.push_back(double(ProcessStats::residentKiB(subject.processId())));
    figures.pssStart.push_back(double(ProcessStats::proportionalKiB(subject.processId())));
    figures.libraries = ProcessStats::mappedLibraries(subject.processId());
}

double Bench::reportToPixel(
    Subject &subject, uint32_t parameter, int x, int y, std::function<bool(uint32_t)> accept)
{
    subject.armProbe(x, y, std::move(accept));
    const TimePoint sent = Clock::now();
    subject.send(parameter);
    if (!waitFor([&subject] { return subject.probeHit().has_value(); }, 5000))
        return NotMeasured;
    return millisecondsBetween(sent, *subject.probeHit());
}

void Bench::startRuns()
{
    for (int run = 0; run < options.runs; ++run) {
        std::fprintf(stderr, "bench: start-up run %d of %d\n", run + 1, options.runs);
        for (int turn = 0; turn < 2; ++turn) {
            // Alternate who goes first, so that neither always meets a warmer page cache.
            Stage &stage = *stages[size_t((run + turn) % 2)];
            startAndSettle(stage);
            const double first = reportToPixel(stage.subject, report(1, Dark), DiscX, DiscY, drawn);
            stage.figures.firstReport.push_back(first);
            stage.figures.modeReport.push_back(first);
            stage.figures.mode = 1;
            // Let the display settle before the other program starts.
            waitUntil(after(Clock::now(), ColorDelayMs));
        }
        waitHidden();
        waitUntil(after(Clock::now(), 500));
        for (const auto &stage : stages) {
            stage->figures.rssDisplay.push_back(
                double(ProcessStats::residentKiB(stage->subject.processId())));
            if (run + 1 < options.runs)
                stage->subject.stop();
        }
    }
}

void Bench::displayCycles()
{
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
            figures.modeReport.push_back(reportToPixel(subject, report(mode, Dark), DiscX, DiscY, drawn));
            waitUntil(after(modeSent, ModeChangeMs));
            figures.modeCpu.push_back(
                double(ProcessStats::cpuNanoseconds(pid) - cpu) / 1e6 * 1000 / ModeChangeMs);
            waitUntil(after(modeSent, ColorDelayMs));

            const Rgb color = Palette[size_t(cycle) % (sizeof Palette / sizeof Palette[0])];
            cpu = ProcessStats::cpuNanoseconds(pid);
            const TimePoint colorSent = Clock::now();
            figures.colorReport.push_back(
                reportToPixel(subject, report(mode, color), RingX, RingY, showsColor(color)));
            waitUntil(after(colorSent, PulseMs));
            figures.pulseCpu.push_back(
                double(ProcessStats::cpuNanoseconds(pid) - cpu) / 1e6 * 1000 / PulseMs);
            waitUntil(after(colorSent, HoldFromMs));
            holds.emplace_back(&stage, subject.drawings());
        }
        // The hold ends when the window goes; the fade-out only changes its opacity.
        waitHidden();
        for (const auto &[stage, drawingsBefore] : holds)
            stage->figures.holdDrawings += stage->subject.drawings() - drawingsBefore;
        waitUntil(after(Clock::now(), 300));
    }
}

void Bench::storms()
{
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
            const bool allLogged = waitFor([&] { return subject.reportLines() >= expected; }, 60000);
            figures.stormDrain.push_back(allLogged ? millisecondsBetween(sent, Clock::now()) : NotMeasured);
            figures.stormSent += long(reports.size());
            figures.stormLogged += subject.reportLines() - linesBefore;

            const Rgb color = Palette[size_t(storm) % (sizeof Palette / sizeof Palette[0])];
            figures.stormResponse.push_back(
                reportToPixel(subject, report(figures.mode, color), RingX, RingY, showsColor(color)));
        }
        waitHidden();
        waitUntil(after(Clock::now(), 500));
        for (size_t i = 0; i < stages.size(); ++i) {
            const double rss = double(ProcessStats::residentKiB(stages[i]->subject.processId()));
            if (!warmup)
                stages[i]->figures.growth.push_back(rss - before[i]);
            std::fprintf(stderr, "bench: %s RSS after storm %d: %.0f KiB\n",
                stages[i]->subject.label().c_str(), storm + 1, rss);
            before[i] = rss;
        }
    }
}

void Bench::idle()
{
    std::fprintf(stderr, "bench: idle for %d s\n", options.idleSeconds);
    waitHidden();
    // The fade-out and anything it armed have run out by now.
    waitUntil(after(Clock::now(), 1000));
    std::vector<long> ticks, switches;
    std::vector<std::map<std::string, long>> byThread;
    for (const auto &stage : stages) {
        ticks.push_back(ProcessStats::cpuTicks(stage->subject.processId()));
        switches.push_back(ProcessStats::contextSwitches(stage->subject.processId()));
        byThread.push_back(ProcessStats::contextSwitchesByThread(stage->subject.processId()));
    }
    // Looked at once a second, to tell when a wake-up came; reading /proc wakes nobody.
    const TimePoint start = Clock::now();
    std::vector<long> seen = switches;
    for (int second = 1; second <= options.idleSeconds; ++second) {
        waitUntil(after(start, second * 1000));
        for (size_t i = 0; i < stages.size(); ++i) {
            const long now = ProcessStats::contextSwitches(stages[i]->subject.processId());
            if (now != seen[i])
                std::fprintf(stderr, "bench: %s woke %ld times in idle second %d\n",
                    stages[i]->subject.label().c_str(), now - seen[i], second);
            seen[i] = now;
        }
    }
    for (size_t i = 0; i < stages.size(); ++i) {
        const pid_t pid = stages[i]->subject.processId();
        stages[i]->figures.idleTicks = double(ProcessStats::cpuTicks(pid) - ticks[i]);
        stages[i]->figures.idleSwitches = double(ProcessStats::contextSwitches(pid) - switches[i]);
        // Which thread woke, for whoever has to find out why.
        for (const auto &[thread, count] : ProcessStats::contextSwitchesByThread(pid)) {
            const long before = byThread[i].count(thread) ? byThread[i].at(thread) : 0;
            if (count != before)
                std::fprintf(stderr, "bench: %s woke while idle: thread %s, %ld switches\n",
                    stages[i]->subject.label().c_str(), thread.c_str(), count - before);
        }
    }
}

void Bench::run()
{
    startRuns();
    displayCycles();
    storms();
    idle();
    for (const auto &stage : stages) {
        stage->subject.readOutput();
        stage->subject.stop();
    }
    ResultTable table;
    fillTable(table);
    table.print();
    std::printf("budgets missed: %d\n", table.misses());
}

void Bench::readPaintResults(ResultTable &table) const
{
    // Qt Test's CSV lines: "function","data tag","metric",value per iteration,total,iterations.
    std::map<std::string, double> perFrame;
    std::ifstream file(options.paintResults);
    std::string line;
    while (std::getline(file, line)) {
        std::vector<std::string> fields;
        std::stringstream stream(line);
        for (std::string field; std::getline(stream, field, ',');) {
            if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
                field = field.substr(1, field.size() - 2);
            fields.push_back(field);
        }
        if (fields.size() >= 4 && fields[2] == "WalltimeMilliseconds")
            perFrame[fields[0]] = std::strtod(fields[3].c_str(), nullptr);
    }
    auto value = [&perFrame](const std::string &name) {
        const auto found = perFrame.find(name);
        return found == perFrame.end() ? NotMeasured : found->second;
    };
    using Unit = ResultTable::Unit;
    table.addLimit("paint per frame: whole overlay / floor window", Unit::Milliseconds, value("wholeOverlay"),
        value("floorWindow"), 0.5);
    table.addInfo("paint per frame: window disc", Unit::Milliseconds, value("windowDisc"), NotMeasured);
    table.addInfo("paint per frame: circle", Unit::Milliseconds, value("circleRipple"), NotMeasured);
    table.addInfo("paint per frame: ring", Unit::Milliseconds, value("ringPulse"), NotMeasured);
    table.addInfo("paint per frame: icon label", Unit::Milliseconds, value("iconLabelFading"), NotMeasured);
}

void Bench::fillTable(ResultTable &table) const
{
    using Unit = ResultTable::Unit;
    using Statistics::median;
    using Statistics::percentile;
    const Figures &o = stages[0]->figures;
    const Figures &f = stages[1]->figures;
    const std::string runs = " (median of " + std::to_string(options.runs) + ")";

    table.addRatio(
        "start-up, exec to idle" + runs, Unit::Milliseconds, median(o.startup), median(f.startup), 1.3);
    table.addInfo("start-up CPU time" + runs, Unit::Milliseconds, median(o.startupCpu), median(f.startupCpu));
    table.addText("tray icon docked and drawn", o.docked ? "yes" : "no", f.docked ? "yes" : "no", "-", "");
    table.addRatio("RSS idle after start" + runs, Unit::KiB, median(o.rssStart), median(f.rssStart), 1.2);
    table.addRatio(
        "RSS idle after first display" + runs, Unit::KiB, median(o.rssDisplay), median(f.rssDisplay), 1.2);
    table.addInfo("PSS idle after start" + runs, Unit::KiB, median(o.pssStart), median(f.pssStart));
    table.addInfo("shared objects mapped", Unit::Count, o.libraries, f.libraries);

    table.addInfo("report to pixel: first after start" + runs, Unit::Milliseconds, median(o.firstReport),
        median(f.firstReport));
    const std::string modeCount = " (" + std::to_string(o.modeReport.size()) + " reports)";
    table.addRatio("report to pixel: mode change, median" + modeCount, Unit::Milliseconds,
        median(o.modeReport), median(f.modeReport), 1.25);
    table.addRatio("report to pixel: mode change, 90th pct." + modeCount, Unit::Milliseconds,
        percentile(o.modeReport, 90), percentile(f.modeReport, 90), 1.5);
    const std::string colorCount = " (" + std::to_string(o.colorReport.size()) + " reports)";
    table.addRatio("report to pixel: colour change, median" + colorCount, Unit::Milliseconds,
        median(o.colorReport), median(f.colorReport), 1.25);
    table.addRatio("report to pixel: colour change, 90th pct." + colorCount, Unit::Milliseconds,
        percentile(o.colorReport, 90), percentile(f.colorReport, 90), 1.5);
    table.addLimit("drawings during the static hold (" + std::to_string(options.cycles) + " holds)",
        Unit::Count, double(o.holdDrawings), double(f.holdDrawings), 0);

    table.addInfo(
        "CPU during a mode change (median)", Unit::CpuPerSecond, median(o.modeCpu), median(f.modeCpu));
    table.addInfo(
        "CPU during a ring pulse (median)", Unit::CpuPerSecond, median(o.pulseCpu), median(f.pulseCpu));
    readPaintResults(table);

    const std::string stormText = " (" + std::to_string(options.warmupStorms + options.storms) +
        " storms of " + std::to_string(options.stormSize) + ")";
    table.addText("storm: reports logged" + stormText,
        std::to_string(o.stormLogged) + "/" + std::to_string(o.stormSent),
        std::to_string(f.stormLogged) + "/" + std::to_string(f.stormSent), "all",
        ResultTable::verdict(o.stormSent > 0 && o.stormLogged == o.stormSent));
    table.addInfo("storm: time to log every report (median)", Unit::Milliseconds, median(o.stormDrain),
        median(f.stormDrain));
    bool responsive = !o.stormResponse.empty();
    for (double latency : o.stormResponse)
        responsive = responsive && !std::isnan(latency);
    char response[64];
    std::snprintf(response, sizeof response, "%.1f ms", Statistics::percentile(o.stormResponse, 100));
    char floorResponse[64];
    std::snprintf(
        floorResponse, sizeof floorResponse, "%.1f ms", Statistics::percentile(f.stormResponse, 100));
    table.addText("storm: report to pixel right after (slowest)", responsive ? response : "none shown",
        floorResponse, "shown", ResultTable::verdict(responsive));
    table.addLimit("RSS growth over " + std::to_string(options.stormSize) + " reports after " +
            std::to_string(options.warmupStorms) + " storms (median of " + std::to_string(options.storms) +
            ")",
        Unit::KiB, median(o.growth), median(f.growth), 64);

    const std::string idle = "idle hidden " + std::to_string(options.idleSeconds) + " s: ";
    table.addLimit(idle + "CPU ticks", Unit::Count, o.idleTicks, f.idleTicks, 0);
    table.addLimit(idle + "context switches", Unit::Count, o.idleSwitches, f.idleSwitches, 0);
}
