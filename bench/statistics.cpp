#include "bench/statistics.h"

#include <algorithm>
#include <cmath>

namespace lumek {

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

RoundSummary summarizeRounds(const std::vector<int64_t>& nanoseconds) {
    RoundSummary s;
    s.count = nanoseconds.size();
    if (s.count == 0) return s;
    std::vector<double> values(nanoseconds.begin(), nanoseconds.end());
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    s.minNs = *low;
    s.maxNs = *high;
    s.medianNs = median(values);
    for (double& v : values) v = std::fabs(v - s.medianNs);
    s.madNs = median(values);
    if (s.count > 1 && s.medianNs > 0) s.spread = 1.4826 * s.madNs / s.medianNs;
    return s;
}

}  // namespace lumek
