#include "Statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

double Statistics::percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return std::numeric_limits<double>::quiet_NaN();
    std::sort(values.begin(), values.end());
    const double rank = p / 100.0 * double(values.size() - 1);
    const size_t below = size_t(std::floor(rank));
    const size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (rank - double(below)) * (values[above] - values[below]);
}

double Statistics::medianRatio(const std::vector<double> &numerators, const std::vector<double> &denominators)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < std::min(numerators.size(), denominators.size()); ++i) {
        if (!std::isnan(numerators[i]) && denominators[i] > 0.0)
            ratios.push_back(numerators[i] / denominators[i]);
    }
    return median(ratios);
}
