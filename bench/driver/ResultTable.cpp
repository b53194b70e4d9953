#include "ResultTable.h"

#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const char Miss[] = "MISS";
const char Holds[] = "ok";

} // namespace

std::string ResultTable::format(Unit unit, double value)
{
    if (std::isnan(value))
        return "n/a";
    char text[48];
    switch (unit) {
    case Unit::Milliseconds:
        std::snprintf(text, sizeof text, value < 1.0 ? "%.3f ms" : "%.1f ms", value);
        break;
    case Unit::KiB:
        std::snprintf(text, sizeof text, "%.0f KiB", value);
        break;
    case Unit::Count:
        std::snprintf(text, sizeof text, "%.0f", value);
        break;
    case Unit::CpuPerSecond:
        std::snprintf(text, sizeof text, "%.1f ms/s", value);
        break;
    }
    return text;
}

std::string ResultTable::ratioText(double overlay, double floor)
{
    if (std::isnan(overlay) || std::isnan(floor) || floor <= 0.0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", overlay / floor);
    return text;
}

std::string ResultTable::ratioBudget(double maxRatio)
{
    char text[32];
    std::snprintf(text, sizeof text, "<= %.2fx", maxRatio);
    return text;
}

void ResultTable::addRatio(
    const std::string &figure, Unit unit, double overlay, double floor, double maxRatio)
{
    const bool holds = !std::isnan(overlay) && !std::isnan(floor) && overlay <= maxRatio * floor;
    rows.push_back({figure, format(unit, overlay), format(unit, floor), ratioText(overlay, floor),
        ratioBudget(maxRatio), verdict(holds)});
}

void ResultTable::addPairedRatio(const std::string &figure, Unit unit, const std::vector<double> &overlay,
    const std::vector<double> &floor, double maxRatio)
{
    const double ratio = Statistics::medianRatio(overlay, floor);
    rows.push_back(
        {figure, format(unit, Statistics::median(overlay)), format(unit, Statistics::median(floor)),
            ratioText(ratio, 1.0), ratioBudget(maxRatio), verdict(!std::isnan(ratio) && ratio <= maxRatio)});
}

void ResultTable::addLimit(const std::string &figure, Unit unit, double overlay, double floor, double limit)
{
    const bool holds = !std::isnan(overlay) && overlay <= limit;
    rows.push_back({figure, format(unit, overlay), format(unit, floor), ratioText(overlay, floor),
        "<= " + format(unit, limit), verdict(holds)});
}

void ResultTable::addInfo(const std::string &figure, Unit unit, double overlay, double floor)
{
    rows.push_back({figure, format(unit, overlay), format(unit, floor), ratioText(overlay, floor), "-", ""});
}

void ResultTable::addText(const std::string &figure, const std::string &overlay, const std::string &floor,
    const std::string &budget, const std::string &verdict)
{
    rows.push_back({figure, overlay, floor, "-", budget, verdict});
}

std::string ResultTable::verdict(bool holds)
{
    return holds ? Holds : Miss;
}

void ResultTable::print() const
{
    Row header {"figure", "overlay", "floor", "ratio", "budget", "verdict"};
    size_t widths[6] = {};
    auto measure = [&widths](const Row &row) {
        const std::string *cells[] = {
            &row.figure, &row.overlay, &row.floor, &row.ratio, &row.budget, &row.verdict};
        for (int i = 0; i < 6; ++i)
            widths[i] = std::max(widths[i], cells[i]->size());
    };
    measure(header);
    for (const Row &row : rows)
        measure(row);
    auto printRow = [&widths](const Row &row) {
        std::printf("| %-*s | %*s | %*s | %*s | %-*s | %-*s |\n", int(widths[0]), row.figure.c_str(),
            int(widths[1]), row.overlay.c_str(), int(widths[2]), row.floor.c_str(), int(widths[3]),
            row.ratio.c_str(), int(widths[4]), row.budget.c_str(), int(widths[5]), row.verdict.c_str());
    };
    printRow(header);
    std::printf("|%s|%s:|%s:|%s:|%s|%s|\n", std::string(widths[0] + 2, '-').c_str(),
        std::string(widths[1] + 1, '-').c_str(), std::string(widths[2] + 1, '-').c_str(),
        std::string(widths[3] + 1, '-').c_str(), std::string(widths[4] + 2, '-').c_str(),
        std::string(widths[5] + 2, '-').c_str());
    for (const Row &row : rows)
        printRow(row);
    std::fflush(stdout);
}

int ResultTable::misses() const
{
    return int(std::count_if(rows.begin(), rows.end(), [](const Row &row) { return row.verdict == Miss; }));
}
