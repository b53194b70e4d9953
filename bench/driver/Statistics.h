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

} // namespace Statistics

#endif // STATISTICS_H
