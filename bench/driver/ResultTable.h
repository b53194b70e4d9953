#ifndef RESULTTABLE_H
#define RESULTTABLE_H

#include <string>
#include <vector>

// The one table the benchmark prints: each figure for the overlay and the floor, their ratio, the
// budget and whether the overlay holds it.
class ResultTable
{
public:
    enum class Unit { Milliseconds, KiB, Count, CpuPerSecond };

    // Budget as a ratio to the floor's figure.
    void addRatio(const std::string &figure, Unit unit, double overlay, double floor, double maxRatio);
    // Budget as a ratio to the floor's figure, of figures taken in pairs: the medians of both, and
    // the median of the pairs' ratios.
    void addPairedRatio(const std::string &figure, Unit unit, const std::vector<double> &overlay,
        const std::vector<double> &floor, double maxRatio);
    // Budget as an upper bound on the overlay's own figure.
    void addLimit(const std::string &figure, Unit unit, double overlay, double floor, double limit);
    // A figure printed for information, without a budget.
    void addInfo(const std::string &figure, Unit unit, double overlay, double floor);
    // A row whose cells are given as text; verdict is empty for a row without a budget.
    void addText(const std::string &figure, const std::string &overlay, const std::string &floor,
        const std::string &budget, const std::string &verdict);
    // The verdict text of a budget held or missed.
    static std::string verdict(bool holds);

    void print() const;
    int misses() const;

private:
    struct Row
    {
        std::string figure, overlay, floor, ratio, budget, verdict;
    };
    static std::string format(Unit unit, double value);
    static std::string ratioText(double overlay, double floor);
    static std::string ratioBudget(double maxRatio);

    std::vector<Row> rows;
};

#endif // RESULTTABLE_H
