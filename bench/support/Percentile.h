#pragma once
// The value below which a share of the measured values lies (0.5: the median, 1: the largest),
// taken as the nearest lower rank; -1 for no values.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace cwt::bench {

inline double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1))];
}

}  // namespace cwt::bench
