// The first and the last minute of a run, from the frames counted over
// time.
#include "bench/throughput.h"

#include <gtest/gtest.h>

namespace lumek {
namespace {

// Frames at a steady `rate` from `from` to `to` seconds, added every
// 50 ms as the run's watcher does.
uint64_t feed(ThroughputHistory& h, double from, double to, double rate, uint64_t frames) {
    for (int i = 1; from + i * 0.05 <= to + 1e-9; ++i)
        h.add(from + i * 0.05, frames + static_cast<uint64_t>(rate * i * 0.05 + 0.5));
    return frames + static_cast<uint64_t>(rate * (to - from) + 0.5);
}

TEST(ThroughputHistory, NothingUntilTwoMinutesHavePassed) {
    ThroughputHistory h(60);
    feed(h, 0, 119.9, 100, 0);
    EXPECT_FALSE(h.rates().has_value());
    h.add(120, 12000);
    ASSERT_TRUE(h.rates().has_value());
    EXPECT_NEAR(h.rates()->first, 100, 0.01);
    EXPECT_NEAR(h.rates()->last, 100, 0.01);
    EXPECT_NEAR(h.rates()->fall(), 0, 1e-4);
}

TEST(ThroughputHistory, ARunThatSlowsDownShowsItsFall) {
    ThroughputHistory h(60);
    uint64_t frames = feed(h, 0, 180, 200, 0);  // three minutes at 200
    frames = feed(h, 180, 300, 150, frames);    // then two at 150
    const std::optional<ThroughputHistory::Rates> r = h.rates();
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(r->first, 200, 0.01);
    EXPECT_NEAR(r->last, 150, 0.01);
    EXPECT_NEAR(r->fall(), 0.25, 1e-4);
}

TEST(ThroughputHistory, AShortMinuteForTestsAndARiseIsNoFall) {
    ThroughputHistory h(0.6);
    uint64_t frames = feed(h, 0, 1.0, 100, 0);
    frames = feed(h, 1.0, 2.0, 300, frames);
    ASSERT_TRUE(h.rates().has_value());
    EXPECT_NEAR(h.rates()->first, 100, 1);
    EXPECT_NEAR(h.rates()->last, 300, 1);
    EXPECT_LT(h.rates()->fall(), 0);
}

}  // namespace
}  // namespace lumek
