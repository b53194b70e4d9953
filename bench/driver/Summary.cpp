#include "Summary.h"

#include "BenchOptions.h"
#include "Figures.h"
#include "ResultTable.h"
#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Whether every one of the times was taken.
bool allMeasured(const std::vector<double> &times)
{
    return !times.empty() &&
        std::none_of(times.begin(), times.end(), [](double time) { return std::isnan(time); });
}

// The slowest of the times, or that one of them was never seen.
std::string slowest(const std::vector<double> &times)
{
    if (!allMeasured(times))
        return "none shown";
    char text[64];
    std::snprintf(text, sizeof text, "%.1f ms", Statistics::percentile(times, 100));
    return text;
}

} // namespace

Summary::Summary(const BenchOptions &options, const Figures &overlay, const Figures &floor)
    : options(options)
    , overlayFigures(overlay)
    , floorFigures(floor)
{
}

void Summary::readPaintResults(ResultTable &table) const
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
        // A function with rows is named with its row: "wholeOverlay/ratio 2".
        if (fields.size() >= 4 && fields[2] == "WalltimeMilliseconds")
            perFrame[fields[1].empty() ? fields[0] : fields[0] + "/" + fields[1]] =
                std::strtod(fields[3].c_str(), nullptr);
    }
    auto value = [&perFrame](const std::string &name) {
        const auto found = perFrame.find(name);
        return found == perFrame.end() ? NotMeasured : found->second;
    };
    using Unit = ResultTable::Unit;
    const double wholeOverlay = value("wholeOverlay/ratio 1");
    table.addLimit("paint per frame: whole overlay / floor window", Unit::Milliseconds, wholeOverlay,
        value("floorWindow"), 0.5);
    // Four times the pixels may cost four times the time, no more.
    table.addRatio("paint per frame: whole overlay at ratio 2 / at ratio 1", Unit::Milliseconds,
        value("wholeOverlay/ratio 2"), wholeOverlay, 4);
    table.addInfo("paint per frame: window disc", Unit::Milliseconds, value("windowDisc"), NotMeasured);
    table.addInfo("paint per frame: circle", Unit::Milliseconds, value("circleRipple"), NotMeasured);
    table.addInfo("paint per frame: ring", Unit::Milliseconds, value("ringPulse"), NotMeasured);
    table.addInfo("paint per frame: icon label", Unit::Milliseconds, value("iconLabelFading"), NotMeasured);
}

void Summary::fill(ResultTable &table) const
{
    using Unit = ResultTable::Unit;
    using Statistics::median;
    using Statistics::percentile;
    const Figures &o = overlayFigures;
    const Figures &f = floorFigures;
    const std::string runs = " (median of " + std::to_string(options.runs) + ")";
    auto starts = [](const std::vector<double> &figures) {
        return " (median of " + std::to_string(figures.size()) + ")";
    };

    // The clock's time moves with the load of the machine; the CPU time much less, and the ratio
    // of starts side by side less again. The overlay's footprint against the floor's is held where
    // its captions' font and style put it: RSS within 1.06 x, start-up CPU within 1.15 x, which
    // a day's runs stay under.
    table.addInfo("start-up, exec to idle" + starts(o.startup), Unit::Milliseconds, median(o.startup),
        median(f.startup));
    table.addPairedRatio(
        "start-up CPU time" + starts(o.startupCpu), Unit::Milliseconds, o.startupCpu, f.startupCpu, 1.15);
    table.addPairedRatio("start-up CPU time, the package's icons installed" + starts(o.startupCpuIcons),
        Unit::Milliseconds, o.startupCpuIcons, f.startupCpu, 1.15);
    table.addText("tray icon docked and drawn", o.docked ? "yes" : "no", f.docked ? "yes" : "no", "-", "");
    table.addRatio(
        "RSS idle after start" + starts(o.rssStart), Unit::KiB, median(o.rssStart), median(f.rssStart), 1.06);
    table.addRatio("RSS idle after start, the package's icons installed" + starts(o.rssIcons), Unit::KiB,
        median(o.rssIcons), median(f.rssStart), 1.06);
    table.addRatio("RSS idle after start: overlay with / without a session bus" + runs, Unit::KiB,
        median(o.rssStart), median(o.rssWithoutBus), 1.02);
    table.addRatio(
        "RSS idle after first display" + runs, Unit::KiB, median(o.rssDisplay), median(f.rssDisplay), 1.06);
    // The overlay against itself: the floor's column holds its figure with scaling off.
    table.addRatio("RSS idle after start at 200 %, scaling on / off" + runs, Unit::KiB, median(o.rssScaled),
        median(o.rssUnscaled), 1.05);
    table.addInfo(
        "PSS idle after start" + starts(o.pssStart), Unit::KiB, median(o.pssStart), median(f.pssStart));
    table.addInfo("shared objects mapped", Unit::Count, o.libraries, f.libraries);

    table.addInfo("report to pixel: first after start" + runs, Unit::Milliseconds, median(o.firstReport),
        median(f.firstReport));
    const std::string modeCount = " (" + std::to_string(o.modeReport.size()) + " reports)";
    table.addRatio("report to pixel: mode change, median" + modeCount, Unit::Milliseconds,
        median(o.modeReport), median(f.modeReport), 1.0);
    table.addRatio("report to pixel: mode change, 90th pct." + modeCount, Unit::Milliseconds,
        percentile(o.modeReport, 90), percentile(f.modeReport, 90), 1.25);
    table.addRatio("report to pixel: overlay's mode change through D-Bus / X11, median (" +
            std::to_string(o.busModeReport.size()) + " / " + std::to_string(o.cycleModeReport.size()) +
            " reports)",
        Unit::Milliseconds, median(o.busModeReport), median(o.cycleModeReport), 1.5);
    const std::string colorCount = " (" + std::to_string(o.colorReport.size()) + " reports)";
    table.addRatio("report to pixel: colour change, median" + colorCount, Unit::Milliseconds,
        median(o.colorReport), median(f.colorReport), 1.25);
    table.addRatio("report to pixel: colour change, 90th pct." + colorCount, Unit::Milliseconds,
        percentile(o.colorReport, 90), percentile(f.colorReport, 90), 1.5);
    table.addLimit("drawings during the static hold (" + std::to_string(options.cycles) + " holds)",
        Unit::Count, double(o.holdDrawings), double(f.holdDrawings), 0);

    // Both programs animate a mode change; the floor repaints its whole window at every frame.
    table.addRatio("CPU during a mode change (median of " + std::to_string(o.modeCpu.size()) + ")",
        Unit::CpuPerSecond, median(o.modeCpu), median(f.modeCpu), 0.8);
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
    table.addText("storm: report to pixel right after (slowest)", slowest(o.stormResponse),
        slowest(f.stormResponse), "shown", ResultTable::verdict(allMeasured(o.stormResponse)));
    table.addLimit("RSS growth over " + std::to_string(options.stormSize) + " reports after " +
            std::to_string(options.warmupStorms) + " storms (median of " + std::to_string(options.storms) +
            ")",
        Unit::KiB, median(o.growth), median(f.growth), 64);

    const std::string busStormText = " (" + std::to_string(options.warmupStorms + options.storms) +
        " storms of " + std::to_string(options.busStormSize) + ")";
    table.addText("storm through D-Bus: calls answered" + busStormText,
        std::to_string(o.busStormAnswered) + "/" + std::to_string(o.busStormSent), "-", "all",
        ResultTable::verdict(o.busStormSent > 0 && o.busStormAnswered == o.busStormSent));
    table.addInfo("storm through D-Bus: time to answer and log every call (median)", Unit::Milliseconds,
        median(o.busStormDrain), NotMeasured);
    table.addText("storm through D-Bus: report to pixel right after (slowest)", slowest(o.busStormResponse),
        "-", "shown", ResultTable::verdict(allMeasured(o.busStormResponse)));
    table.addLimit("RSS growth over " + std::to_string(options.busStormSize) + " calls after " +
            std::to_string(options.warmupStorms) + " storms (median of " + std::to_string(options.storms) +
            ")",
        Unit::KiB, median(o.busGrowth), NotMeasured, 64);

    const std::string idle = "idle hidden " + std::to_string(options.idleSeconds) + " s: ";
    table.addLimit(idle + "CPU ticks", Unit::Count, o.idleTicks, f.idleTicks, 0);
    table.addLimit(idle + "context switches", Unit::Count, o.idleSwitches, f.idleSwitches, 0);
}
