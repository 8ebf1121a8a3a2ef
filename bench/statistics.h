// What a series of timed rounds says: its middle, its extremes and how far
// it spreads, robustly (the median absolute deviation, which a few
// disturbed rounds cannot move the way they move a standard deviation).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumek {

// Rounds whose robust spread is larger than this are noisy.
constexpr double kNoisySpread = 0.03;

struct RoundSummary {
    size_t count = 0;
    double medianNs = 0;
    double minNs = 0;
    double maxNs = 0;
    double madNs = 0;  // the median of the absolute deviations from the median
    // 1.4826 x MAD / median: for normally spread rounds, their standard
    // deviation relative to the median. 0 for fewer than two rounds.
    double spread = 0;

    bool noisy() const { return spread > kNoisySpread; }
};

// The median of some values (the mean of the middle two for an even
// count); 0 for none.
double median(std::vector<double> values);

RoundSummary summarizeRounds(const std::vector<int64_t>& nanoseconds);

}  // namespace lumek
