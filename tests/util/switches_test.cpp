// The command line's one table: numbers written after a switch, and the
// render size that the show's settings and the recording share.
#include "util/switches.h"

#include <gtest/gtest.h>

namespace lumek {
namespace {

TEST(Switches, ANumberDirectlyAfterASwitchIsRead) {
    EXPECT_EQ(switches::numberAfter("-stress30", "-stress"), 30);
    EXPECT_EQ(switches::numberAfter("-t3 -stress5 -r4", "-stress"), 5);
    // The first place that has digits counts; a plain one before it does not.
    EXPECT_EQ(switches::numberAfter("-stress -stress12", "-stress"), 12);
    EXPECT_EQ(switches::numberAfter("-cycle10x", "-cycle"), 10);
}

TEST(Switches, NoDigitsZeroAndHugeNumbersAreNoNumber) {
    EXPECT_EQ(switches::numberAfter("-stress", "-stress"), std::nullopt);
    EXPECT_EQ(switches::numberAfter("-stress 30", "-stress"), std::nullopt);
    EXPECT_EQ(switches::numberAfter("-stress0", "-stress"), std::nullopt);
    EXPECT_EQ(switches::numberAfter("-stress000", "-stress"), std::nullopt);
    EXPECT_EQ(switches::numberAfter("-stress999999999", "-stress"), 999999999);
    EXPECT_EQ(switches::numberAfter("-stress1000000000", "-stress"), std::nullopt);
    EXPECT_EQ(switches::numberAfter("-stress0000000005", "-stress"), 5);
    EXPECT_EQ(switches::numberAfter("-cycle", "-stress"), std::nullopt);
    // Digits that give no number are there all the same: a mistake to say.
    EXPECT_TRUE(switches::hasNumberAfter("-stress0", "-stress"));
    EXPECT_TRUE(switches::hasNumberAfter("-stress -stress1000000000", "-stress"));
    EXPECT_FALSE(switches::hasNumberAfter("-stress -stress-1 -cycle5", "-stress"));
}

TEST(Switches, TheLastRenderSizeRowInTheTableWins) {
    EXPECT_EQ(switches::renderSize("", 512), 512);
    EXPECT_EQ(switches::renderSize("-t1", 512), 32);
    EXPECT_EQ(switches::renderSize("-t5 -t1", 64), 512);
    EXPECT_EQ(switches::renderSize("-t10", 64), 32);  // a switch inside longer text
    EXPECT_EQ(switches::renderSize("-T3", 64), 64);
}

}  // namespace
}  // namespace lumek
