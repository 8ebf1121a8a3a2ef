#include "scenes/library.h"

#include <gtest/gtest.h>

namespace lumek {
namespace {

class Library : public ::testing::Test {
  protected:
    void SetUp() override { buildSceneLibrary(lib); }
    void TearDown() override { deleteSceneShapes(lib); }
    SceneLibrary lib;
};

TEST_F(Library, ListSizesAndKindsFollowTheTables) {
    const size_t sizes[kSceneCount] = {7, 13, 4, 10, 11, 5, 6, 4, 4, 1};
    const int circles[kSceneCount] = {1, 2, 4, 1, 1, 2, 4, 1, 4, 1};
    size_t total = 0;
    int totalCircles = 0;
    for (int i = 0; i < kSceneCount; ++i) {
        EXPECT_EQ(lib[i].size(), sizes[i]) << sceneName(i);
        int n = 0;
        for (Shape* s : lib[i]) n += s->kind() == ShapeKind::Circle;
        EXPECT_EQ(n, circles[i]) << sceneName(i);
        total += lib[i].size();
        totalCircles += n;
    }
    EXPECT_EQ(total, 65u);
    EXPECT_EQ(totalCircles, 21);
}

TEST_F(Library, SegmentsStoreTheirDirectionFromTheStart) {
    const SegmentShape& s = lib.segment(kLumeklogo, 2);
    EXPECT_EQ(s.start, (Vec2{1.25f, -0.05f}));
    EXPECT_EQ(s.dir.x, 0.25f);
    EXPECT_FLOAT_EQ(s.dir.y, 0.25f);
    EXPECT_EQ(s.red, 32);
    EXPECT_EQ(s.green, 96);
    EXPECT_EQ(s.blue, 160);
    EXPECT_EQ(s.falloff, 40.0f);
}

TEST_F(Library, XMasHasItsLastStrokeTwice) {
    const SegmentShape& a = lib.segment(kXMas, 11);
    const SegmentShape& b = lib.segment(kXMas, 12);
    EXPECT_NE(&a, &b);
    EXPECT_EQ(a.start, b.start);
    EXPECT_EQ(a.dir, b.dir);
    EXPECT_EQ(a.start, (Vec2{1.6f, 0.4f}));
}

TEST_F(Library, PosedShapesStartDarkOrOutOfView) {
    const CircleShape& spot = lib.circle(kSpotlight, 0);
    EXPECT_EQ(spot.red | spot.green | spot.blue, 0);
    EXPECT_EQ(lib.circle(kBoxes, 0).centre, (Vec2{0.0f, 16.0f}));
    EXPECT_EQ(lib.circle(kShadow1, 0).centre, (Vec2{1000.0f, 0.3f}));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(lib.circle(kShadow2, i).centre.y, -20.0f);
}

TEST_F(Library, DiscsKeepTheirSquaredRadius) {
    const CircleShape& logo = lib.circle(kLumeklogo, 0);
    EXPECT_EQ(logo.radius, 4.0f);
    EXPECT_EQ(logo.radiusSq, 16.0f);
    EXPECT_EQ(logo.centre, (Vec2{0.0f, 4.0f}));
    const CircleShape& far = lib.circle(kFarLights, 3);
    EXPECT_EQ(far.centre, (Vec2{0.0f, -15.0f}));
    EXPECT_EQ(far.falloff, 0.001f);
    const CircleShape& green = lib.circle(kColorCircles, 1);
    EXPECT_EQ(green.centre, (Vec2{-0.606f, -0.35f}));
    EXPECT_EQ(green.green, 224);
}

TEST(LibraryLifecycle, DeletingEmptiesEveryListAndAllowsAnotherBuild) {
    SceneLibrary lib;
    buildSceneLibrary(lib);
    deleteSceneShapes(lib);
    for (int i = 0; i < kSceneCount; ++i) EXPECT_TRUE(lib[i].empty()) << sceneName(i);
    buildSceneLibrary(lib);
    EXPECT_EQ(lib[kXMas].size(), 13u);
    deleteSceneShapes(lib);
}

}  // namespace
}  // namespace lumek
