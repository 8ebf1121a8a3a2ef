// The command line's one table: numbers written after a switch, and the
// render size that the show's settings and the recording share.
#include "util/switches.h"

#include <gtest/gtest.h>

namespace lumek {
namespace {

// The seconds a length after -stress (bare: minutes) stands for; -1 when
// none is given, -2 when what follows the switch is no length.
int64_t stressSeconds(const char* text) {
    const switches::Length l = switches::lengthAfter(text, "-stress", 60);
    return l.status == switches::Length::Valid ? l.seconds
           : l.status == switches::Length::None ? -1
                                                 : -2;
}

TEST(Switches, ALengthDirectlyAfterASwitchIsReadWithItsUnit) {
    EXPECT_EQ(stressSeconds("-stress30"), 30 * 60);  // bare: the switch's own unit
    EXPECT_EQ(stressSeconds("-stress30s"), 30);
    EXPECT_EQ(stressSeconds("-stress45m"), 45 * 60);
    EXPECT_EQ(stressSeconds("-stress2h"), 2 * 3600);
    EXPECT_EQ(stressSeconds("-t3 -stress5 -r4"), 5 * 60);
    EXPECT_EQ(stressSeconds("-stress2h-t3"), 2 * 3600);  // another switch may follow directly
    // The first place that has digits counts; a plain one before it does not.
    EXPECT_EQ(stressSeconds("-stress -stress12s"), 12);
    EXPECT_EQ(stressSeconds("-stress0000000005"), 5 * 60);
    EXPECT_EQ(stressSeconds("-stress999999999s"), 999999999);  // the longest
    const switches::Length cycle = switches::lengthAfter("-cycle90", "-cycle", 1);
    EXPECT_EQ(cycle.status, switches::Length::Valid);
    EXPECT_EQ(cycle.seconds, 90);
    EXPECT_EQ(switches::lengthAfter("-cycle2m", "-cycle", 1).seconds, 120);
}

TEST(Switches, NoLengthIsNoneAndAMalformedOneIsNamedWithWhatWasMeant) {
    EXPECT_EQ(stressSeconds(""), -1);
    EXPECT_EQ(stressSeconds("-stress"), -1);
    EXPECT_EQ(stressSeconds("-stress -t3"), -1);
    EXPECT_EQ(stressSeconds("-stress-t3"), -1);  // the next switch, joined
    EXPECT_EQ(stressSeconds("-cycle5"), -1);
    for (const char* wrong : {"-stress0", "-stress000s", "-stress1000000000", "-stress30x",
                              "-stress30sec", "-stress=5", "-stress:5", "-stress5.5",
                              "-stress -stress0", "-stress-30", "-stress+5", "-stressx",
                              "-stressed", "-stress16666667m", "-stress999999999h",
                              "-stress1s-5", "-stress30-x"})
        EXPECT_EQ(stressSeconds(wrong), -2) << wrong;
    const switches::Length equals = switches::lengthAfter("-t3 -stress=5 -r4", "-stress", 60);
    EXPECT_EQ(equals.word, "-stress=5");
    EXPECT_EQ(equals.hint, "-stress5");
    const switches::Length unit = switches::lengthAfter("-cycle30d", "-cycle", 1);
    EXPECT_EQ(unit.word, "-cycle30d");
    EXPECT_EQ(unit.hint, "-cycle30s, -cycle30m or -cycle30h");
    // Two lengths leave the run's unsaid; a bare switch beside one is none.
    const switches::Length twice = switches::lengthAfter("-stress1 -t3 -stress2h", "-stress", 60);
    EXPECT_EQ(twice.status, switches::Length::Twice);
    EXPECT_EQ(twice.word + " " + twice.hint, "-stress1 -stress2h");
    EXPECT_EQ(stressSeconds("-stress -stress5 -stress"), 300);
}

TEST(Switches, WordsWithoutAnySwitchAreUnknownAndNamedWithTheNearest) {
    using V = std::vector<std::string>;
    // The substring rule stands: a word holding a switch is that switch.
    EXPECT_EQ(switches::unknownWords("x-i -t3-r4-s2 -stress30 -shot9 -benchmark"), V{});
    EXPECT_EQ(switches::unknownWords("-h -help --help"), V{});
    EXPECT_EQ(switches::unknownWords("-bench  -bnech\tfoo \"-v\""), (V{"-bnech", "foo", "-v"}));
    EXPECT_EQ(switches::unknownWords("-hh"), V{"-hh"});
    EXPECT_TRUE(switches::hasHelpWord("-t3 -h"));
    EXPECT_TRUE(switches::hasHelpWord("-help"));
    EXPECT_FALSE(switches::hasHelpWord("--help-h -hx"));
    EXPECT_EQ(switches::nearestSwitch("-bnech"), "-bench");
    EXPECT_EQ(switches::nearestSwitch("-stres"), "-stress");
    EXPECT_EQ(switches::nearestSwitch("-v"), "--version");
    EXPECT_EQ(switches::nearestSwitch("--recrod"), "-record");
    EXPECT_EQ(switches::nearestSwitch("-hlep"), "-help");
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
