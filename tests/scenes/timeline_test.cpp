#include "scenes/timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace lumek {
namespace {

struct Step {
    bool goesOn;
    Vec2 centre, axisX, axisY;
    float height;
    uint32_t phase;  // after the call
    int list;        // shown list, -1 for none
};

class Timeline : public ::testing::Test {
  protected:
    void SetUp() override { buildSceneLibrary(lib); }
    void TearDown() override { deleteSceneShapes(lib); }

    Step step(uint32_t t) {
        Step s{};
        // Garbage in the outputs: every call must write all four.
        s.centre = {99, 99};
        s.axisX = s.axisY = {99, 99};
        s.height = 99;
        s.goesOn = stepTimeline(state, lib, t, s.centre, s.axisX, s.axisY, s.height);
        s.phase = state.timelinePhase;
        s.list = -1;
        for (int i = 0; i < kSceneCount; ++i)
            if (state.currentShapes == &lib[i]) s.list = i;
        return s;
    }
    // Runs one call in phase `phase` at time t.
    Step stepIn(uint32_t phase, uint32_t t) {
        state.timelinePhase = phase;
        return step(t);
    }

    SceneLibrary lib;
    TimelineState state;
};

TEST_F(Timeline, ThePanAcrossTheLogoEndsOnTheFirstCallAfter8000) {
    const Step first = step(0);
    EXPECT_TRUE(first.goesOn);
    EXPECT_EQ(first.phase, 0u);
    EXPECT_EQ(first.list, kLumeklogo);
    EXPECT_EQ(first.centre, (Vec2{-2.5f, 0.0f}));
    EXPECT_EQ(first.height, 1.1f);
    EXPECT_EQ(first.axisX, (Vec2{1, 0}));
    EXPECT_EQ(first.axisY, (Vec2{0, 1}));

    const Step at8000 = step(8000);
    EXPECT_EQ(at8000.phase, 0u);
    EXPECT_NEAR(at8000.centre.x, 1.5f, 1e-6);

    const Step at8001 = step(8001);
    EXPECT_EQ(at8001.phase, 1u);
    EXPECT_EQ(at8001.centre.x, 1.5f);  // the ending action
    EXPECT_EQ(step(9000).centre.x, 1.5f);
}

TEST_F(Timeline, TheBoxesLightRestsAtTheOriginAndLeavesDownwards) {
    EXPECT_EQ(stepIn(7, 54000).phase, 7u);
    EXPECT_EQ(lib.circle(kBoxes, 0).centre, (Vec2{0.0f, 0.0f}));
    EXPECT_EQ(lib.circle(kBoxes, 0).radius, 0.1f);
    stepIn(7, 46000);
    EXPECT_NEAR(lib.circle(kBoxes, 0).centre.y, 1.0f, 1e-6);
    const Step s = stepIn(7, 64000);
    EXPECT_EQ(s.phase, 7u);
    EXPECT_NEAR(lib.circle(kBoxes, 0).centre.y, -1.5625f, 1e-6);
    EXPECT_EQ(lib.circle(kBoxes, 0).centre.x, 0.0f);
}

TEST_F(Timeline, PhaseSevenPosesTheSpotlightBeforeItIsShown) {
    stepIn(7, 46000);
    EXPECT_EQ(lib.circle(kSpotlight, 0).red, -719);  // never displayed
    EXPECT_EQ(lib.circle(kSpotlight, 0).blue, -719);
    const Step end = stepIn(7, 64001);
    EXPECT_EQ(end.phase, 8u);
    EXPECT_EQ(end.list, kSpotlight);
    EXPECT_EQ(lib.circle(kSpotlight, 0).red, 0);
    // The shade is posed too: its corner P lies 0.2 from the light.
    const SegmentShape& shade = lib.segment(kSpotlight, 1);
    EXPECT_NEAR(std::hypot(shade.start.x, shade.start.y), 0.2, 1e-6);
}

TEST_F(Timeline, SpotlightFadesInHoldsAndFadesOut) {
    const std::pair<uint32_t, int> levels[] = {{65000, 39},    {69999, 239}, {70000, 240},
                                               {80000, 240},   {90000, 240}, {90050, 239},
                                               {96000, 1}};
    for (const auto& [t, level] : levels) {
        stepIn(8, t);
        const CircleShape& light = lib.circle(kSpotlight, 0);
        EXPECT_EQ(light.red, level) << t;
        EXPECT_EQ(light.green, level) << t;
        EXPECT_EQ(light.blue, level) << t;
    }
    // The two shade segments meet at P and end a quarter turn either side.
    stepIn(8, 75000);
    const SegmentShape& a = lib.segment(kSpotlight, 1);
    const SegmentShape& b = lib.segment(kSpotlight, 2);
    EXPECT_EQ(a.start, b.start);
    EXPECT_NEAR(a.start.x + a.dir.x, -(b.start.x + b.dir.x), 1e-7);
    EXPECT_NEAR(a.start.y + a.dir.y, -(b.start.y + b.dir.y), 1e-7);
}

TEST_F(Timeline, ShadowCastersPulse) {
    stepIn(9, 96000);
    for (int shape : {2, 3, 4}) {
        EXPECT_EQ(lib[kShadow1][shape]->blue, 4);
        EXPECT_EQ(lib[kShadow1][shape]->red, 0);
    }
    stepIn(9, 100000);
    for (int shape : {2, 3, 4}) EXPECT_EQ(lib[kShadow1][shape]->blue, 103);
}

TEST_F(Timeline, LightsSweepAlongTwoLines) {
    stepIn(9, 100000);
    EXPECT_NEAR(lib.circle(kShadow1, 0).centre.x, 0.5 * std::cos(1.0) / std::sin(1.0), 1e-6);
    EXPECT_NEAR(lib.circle(kShadow1, 0).centre.x, 0.3210, 1e-4);
    EXPECT_EQ(lib.circle(kShadow1, 0).centre.y, 0.3f);
    EXPECT_NEAR(lib.circle(kShadow1, 1).centre.x, 0.7787, 1e-4);
    EXPECT_EQ(lib.circle(kShadow1, 1).centre.y, -0.3f);
    EXPECT_EQ(lib.circle(kShadow1, 1).radius, 0.15f);

    // At the very start sin(theta) is 0 and is replaced by 0.001.
    stepIn(9, 96000);
    EXPECT_NEAR(lib.circle(kShadow1, 0).centre.x, 500.0, 1e-3);
    EXPECT_NEAR(lib.circle(kShadow1, 1).centre.x, 0.0005, 1e-9);
}

TEST_F(Timeline, GreenLightMovesOntoTheEllipseWithoutAJump) {
    stepIn(9, 133700);
    const float before = lib.circle(kShadow1, 1).centre.x;
    stepIn(10, 133700 + 16);
    EXPECT_NEAR(lib.circle(kShadow1, 1).centre.x, before, 0.01);
    // The ellipse starts at (0, -0.3) at 96000.
    stepIn(10, 96000);
    EXPECT_EQ(lib.circle(kShadow1, 1).centre, (Vec2{0.0f, -0.3f}));
}

TEST_F(Timeline, Shadow2DiscsWaitFarToTheRightUntilTheirTrackStarts) {
    const Step s = stepIn(14, 190250);
    EXPECT_NEAR(s.centre.x, 1.4854, 1e-4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(lib.circle(kShadow2, i).centre.x, 1.29e6, 0.01e6) << i;
        EXPECT_EQ(lib.circle(kShadow2, i).radius, 0.05f);
    }
    EXPECT_EQ(lib.circle(kShadow2, 0).centre.y, 0.24f);
    EXPECT_EQ(lib.circle(kShadow2, 1).centre.y, -0.24f);
    stepIn(14, 197500);
    EXPECT_NEAR(lib.circle(kShadow2, 2).centre.x, -0.75, 1e-6);
    EXPECT_GT(lib.circle(kShadow2, 0).centre.x, 1e6);
    // Paddles are 0.14 long and turn about (0, -0.09) and (0, 0.09).
    const SegmentShape& lower = lib.segment(kShadow2, 4);
    EXPECT_NEAR(std::hypot(lower.dir.x, lower.dir.y), 0.14, 1e-6);
    EXPECT_NEAR(lower.start.y + lower.dir.y / 2, -0.09, 1e-6);
}

TEST_F(Timeline, ConveyorUsesUnsignedRemainders) {
    stepIn(15, 202500);
    EXPECT_NEAR(lib.circle(kShadow2, 0).centre.x, 0.0003 * 2500 - 0.75, 1e-6);
    EXPECT_NEAR(lib.circle(kShadow2, 2).centre.x, -0.75, 1e-6);
}

TEST_F(Timeline, SoftShadowsAt236Seconds) {
    const Step s = stepIn(17, 236000);
    const float starts[] = {-0.201f, 0.499f, -0.901f};
    for (int i = 0; i < 3; ++i) {
        const SegmentShape& seg = lib.segment(kShadow3, i + 1);
        EXPECT_NEAR(seg.start.x, starts[i], 1e-5) << i;
        EXPECT_EQ(seg.start.y, 0.0f);
        EXPECT_NEAR(seg.dir.x, 0.4, 1e-6);
        EXPECT_EQ(seg.dir.y, 0.0f);
    }
    EXPECT_NEAR(s.centre.y, -0.36, 1e-6);
    const CircleShape& light = lib.circle(kShadow3, 0);
    EXPECT_NEAR(light.radius, 1.2 - 1.15 * std::fabs(std::cos(2.4)), 1e-6);
    EXPECT_NEAR(light.radius, 0.352, 1e-3);
    EXPECT_EQ(light.centre.x, 0.0f);
    EXPECT_NEAR(light.centre.y, light.radius + 0.2, 1e-6);

    const Step late = stepIn(17, 275000);
    EXPECT_NEAR(late.centre.y, 0.81, 1e-6);
    EXPECT_NEAR(late.height, 0.55, 1e-6);
    EXPECT_EQ(stepIn(17, 250000).centre, (Vec2{0, 0}));
}

TEST_F(Timeline, TheShowEndsOnceAndThenChangesNothing) {
    const Step before = stepIn(24, 312000);
    EXPECT_TRUE(before.goesOn);
    EXPECT_NEAR(before.height, 1601.0, 0.01);

    const Step end = step(312001);
    EXPECT_FALSE(end.goesOn);
    EXPECT_EQ(end.phase, 25u);
    EXPECT_EQ(end.height, static_cast<float>(1.0 + std::pow(0.01f * 4001.0, 2)));

    const ShapeList* shown = state.currentShapes;
    const Vec2 light = lib.circle(kXMas, 0).centre;
    for (uint32_t t : {312017u, 400000u, 0u}) {
        const Step after = step(t);
        EXPECT_TRUE(after.goesOn);
        EXPECT_EQ(after.phase, 25u);
        EXPECT_EQ(after.centre, (Vec2{0, 0}));
        EXPECT_EQ(after.axisX, (Vec2{1, 0}));
        EXPECT_EQ(after.axisY, (Vec2{0, 1}));
        EXPECT_EQ(after.height, 1.0f);
    }
    EXPECT_EQ(state.currentShapes, shown);
    EXPECT_EQ(lib.circle(kXMas, 0).centre, light);
}

// The list each scene of the show is seen in, by time: a list is shown from
// the first frame after its predecessor's end time.
int expectedList(uint32_t t) {
    const std::pair<uint32_t, int> scenes[] = {
        {30000, kLumeklogo}, {46000, kColorCircles}, {64000, kBoxes},  {96000, kSpotlight},
        {190250, kShadow1},  {230000, kShadow2},     {275000, kShadow3}, {305000, kXMas},
        {308000, kFarLights}};
    for (const auto& [until, list] : scenes)
        if (t <= until) return list;
    return kWhiteDisc;
}

TEST_F(Timeline, TheWholeShowAtASteadyFrameClock) {
    int falses = 0;
    uint32_t lastPhase = 0;
    std::vector<uint32_t> shearedAt;
    for (uint32_t t = 0; t <= 312016; t += 16) {
        const Step s = step(t);
        ASSERT_GE(s.phase, lastPhase);
        ASSERT_LE(s.phase, lastPhase + 2);
        lastPhase = s.phase;
        if (!s.goesOn) {
            ++falses;
            EXPECT_EQ(t, 312016u);
        }
        ASSERT_EQ(s.list, expectedList(t)) << "t = " << t;
        if (s.axisY.x == 0.8f) {
            shearedAt.push_back(t);
            EXPECT_EQ(s.axisY.y, 1.0f);
            EXPECT_EQ(s.list, kXMas);
            EXPECT_EQ(s.height, 4.0f);
        }

        // The one-frame views of the ending actions.
        if (t == 30016) {
            EXPECT_EQ(s.height, 0.25f);
            EXPECT_NEAR(s.centre.x, 1.5 + 0.0001 * 14016, 1e-5);
        }
        if (t == 190256) {
            EXPECT_EQ(s.centre, (Vec2{10.0f, 0.0f}));
        }
        if (t == 230016) {
            EXPECT_EQ(s.centre.y, -10.0f);
            EXPECT_NEAR(s.centre.x, -std::pow(0.0001 * 10016, 2), 1e-6);
        }
        if (t == 275008) {
            EXPECT_EQ(s.centre, (Vec2{-1.8f, -1.5f}));
            EXPECT_EQ(s.height, 0.2f);
        }
        if (t == 275024) {
            EXPECT_NEAR(s.height, 0.4 + 1.8 * 0.001 * 24, 1e-6);
        }
    }
    EXPECT_EQ(falses, 1);
    EXPECT_EQ(lastPhase, 25u);
    EXPECT_EQ(shearedAt, (std::vector<uint32_t>{300016, 302016, 302512, 303504}));

    // Poses persist: the final B values of the two reshapes, exactly.
    const SegmentShape& l1 = lib.segment(kLumeklogo, 1);
    EXPECT_EQ(l1.start, (Vec2{1.55f, -0.2f}));
    EXPECT_EQ(l1.dir, (Vec2{1.3f - 1.55f, 0.1f - -0.2f}));
    EXPECT_EQ(lib.segment(kLumeklogo, 2).start, (Vec2{1.3f, 0.1f}));
    EXPECT_EQ(lib.segment(kLumeklogo, 3).start, (Vec2{1.55f, -0.2f}));
    const SegmentShape& l3 = lib.segment(kLumeklogo, 3);
    EXPECT_EQ(l3.dir, (Vec2{1.25f - 1.55f, -0.35f - -0.2f}));
    EXPECT_EQ(lib.segment(kShadow1, 2).start, (Vec2{-0.09f, 0.14f}));
    EXPECT_EQ(lib.segment(kShadow1, 2).dir, (Vec2{0.09f - -0.09f, 0.0f - 0.14f}));
    EXPECT_EQ(lib.segment(kShadow1, 3).start, (Vec2{-0.09f, -0.14f}));
    EXPECT_EQ(lib.segment(kShadow1, 3).dir, (Vec2{0.0f, 0.14f - -0.14f}));
    EXPECT_EQ(lib.segment(kShadow1, 4).start, (Vec2{-0.09f, -0.14f}));
    EXPECT_EQ(lib.segment(kShadow1, 4).dir, (Vec2{0.09f - -0.09f, 0.0f - -0.14f}));
}

TEST_F(Timeline, CatchingUpAdvancesOnePhasePerCall) {
    step(5000);
    std::vector<uint32_t> phases;
    std::vector<int> lists;
    for (int call = 0; call < 20; ++call) {
        const Step s = step(200000);
        phases.push_back(s.phase);
        lists.push_back(s.list);
        if (s.phase == 5) {
            EXPECT_EQ(s.height, 0.25f) << "phase 4's ending view";
        }
        if (s.phase == 14 && phases.size() >= 2 && phases[phases.size() - 2] == 13) {
            EXPECT_EQ(s.centre.x, 10.0f);
        }
    }
    const std::vector<uint32_t> expected = {1,  2,  3,  4,  5,  6,  7,  9,  10, 11,
                                            12, 13, 14, 14, 14, 14, 14, 14, 14, 14};
    EXPECT_EQ(phases, expected);
    EXPECT_EQ(lists[3], kLumeklogo);
    EXPECT_EQ(lists[4], kColorCircles);
    EXPECT_EQ(lists[6], kBoxes);
    EXPECT_EQ(lists[7], kShadow1) << "phase 7 runs on through phase 8 in one call";
    EXPECT_EQ(lists[12], kShadow2);
    EXPECT_EQ(lists.back(), kShadow2);
    // Each ending action ran on its way past.
    EXPECT_EQ(lib.segment(kLumeklogo, 1).start, (Vec2{1.55f, -0.2f}));
    EXPECT_EQ(lib.segment(kShadow1, 4).start, (Vec2{-0.09f, -0.14f}));
}

TEST_F(Timeline, EndTimesFollowTheScript) {
    const uint32_t ends[kPhaseCount] = {8000,   10000,  14000,  16000,  30000,  38000,  46000,
                                        64000,  96000,  133700, 140000, 155000, 165000, 190250,
                                        200000, 220000, 230000, 275000, 300000, 302000, 302500,
                                        303500, 305000, 308000, 312000};
    for (uint32_t p = 0; p < kPhaseCount; ++p) EXPECT_EQ(phaseEndMs(p), ends[p]) << p;
}

}  // namespace
}  // namespace lumek
