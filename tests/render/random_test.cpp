#include "render/random.h"

#include <gtest/gtest.h>

namespace lumek {
namespace {

TEST(RandomStream, ReproducesTheWindowsRuntimeSequence) {
    RandomStream r;
    EXPECT_EQ(r.next(), 41);
    EXPECT_EQ(r.next(), 18467);
    EXPECT_EQ(r.next(), 6334);
    EXPECT_EQ(r.next(), 26500);
    EXPECT_EQ(r.next(), 19169);
}

TEST(RandomStream, ValuesStayWithinFifteenBitsAndLowBitsSpreadEvenly) {
    RandomStream r;
    int buckets[32] = {};
    for (int i = 0; i < 320000; ++i) {
        const int v = r.next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
        ++buckets[v & 31];
    }
    for (int count : buckets) EXPECT_NEAR(count, 10000, 500);
}

TEST(RandomStream, AdvanceMatchesRepeatedDraws) {
    for (uint64_t n : {0ull, 1ull, 2ull, 3ull, 31ull, 1000ull, 65537ull, 5000000ull}) {
        RandomStream stepped, jumped;
        stepped.next();  // start from somewhere other than the initial state
        jumped.next();
        for (uint64_t i = 0; i < n; ++i) stepped.next();
        jumped.advance(n);
        EXPECT_EQ(stepped.state(), jumped.state()) << "n = " << n;
    }
}

TEST(RandomStream, TheStateWrapsAfterTwoToTheThirtyTwoDraws) {
    RandomStream r;
    r.advance(uint64_t(1) << 32);
    EXPECT_EQ(r.state(), RandomStream::kStartState);
}

}  // namespace
}  // namespace lumek
