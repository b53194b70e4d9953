#ifndef STATISTICS_H
#define STATISTICS_H

#include <vector>

namespace Statistics {

// The p-th percentile (0-100) by linear interpolation between the closest ranks; NaN when empty.
double percentile(std::vector<double> values, double p);

inline double median(const std::vector<double> &values)
{
    return percentile(values, 50);
}

// The median of the ratios numerators[i] / denominators[i], of the pairs measured on both sides:
// figures taken side by side, whose ratio the machine's slower drifts leave alone. NaN when no
// pair was measured.
double medianRatio(const std::vector<double> &numerators, const std::vector<double> &denominators);

} // namespace Statistics

#endif // STATISTICS_H
