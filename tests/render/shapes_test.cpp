#include "render/shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace lumek {
namespace {

CircleShape disc(float r, float x, float y) {
    CircleShape c;
    c.setCircle(r, x, y);
    return c;
}

SegmentShape segment(float x0, float y0, float x1, float y1) {
    SegmentShape s;
    s.setStart(x0, y0);
    s.setEnd(x1, y1);
    return s;
}

Ray ray(float ox, float oy, float dx, float dy) { return Ray{{ox, oy}, {dx, dy}}; }

TEST(CircleShape, ARayStartingInsideHitsAtDistanceZeroWhateverItsDirection) {
    const CircleShape c = disc(0.1f, 0, 0);
    for (float a = 0; a < 6.3f; a += 0.5f) {
        float t = 99;
        ASSERT_TRUE(c.intersect(ray(0.05f, 0, std::sin(a), std::cos(a)), t));
        EXPECT_EQ(t, 0.0f);
    }
    float t = 99;
    EXPECT_TRUE(c.intersect(ray(0.1f, 0, 0, 1), t));  // on the rim
    EXPECT_EQ(t, 0.0f);
}

TEST(CircleShape, TheSignOfTTellsTheSide) {
    const CircleShape c = disc(0.1f, 0, 0);
    float t = 0;
    ASSERT_TRUE(c.intersect(ray(-1, 0, 1, 0), t));
    EXPECT_EQ(t, -1.0f);  // centre ahead
    ASSERT_TRUE(c.intersect(ray(-1, 0, -1, 0), t));
    EXPECT_EQ(t, 1.0f);  // centre behind
}

TEST(CircleShape, PassingAtExactlyTheRadiusIsAHitAndBeyondIsAMiss) {
    const CircleShape c = disc(0.5f, 0, 0);
    float t = 7;
    EXPECT_TRUE(c.intersect(ray(-1, 0.5f, 1, 0), t));
    EXPECT_EQ(t, -1.0f);
    t = 7;
    EXPECT_FALSE(c.intersect(ray(-1, 0.5000001f, 1, 0), t));
    EXPECT_EQ(t, 7.0f) << "a miss leaves t untouched";
    // A line grazing at exactly the radius (0.1 as radius and as offset, equal floats) hits.
    EXPECT_TRUE(disc(0.1f, 0, 0).intersect(ray(-1, 0.1f, 1, 0), t));
}

TEST(CircleShape, DistanceIsToTheFootOfThePerpendicularNotTheRim) {
    const CircleShape c = disc(0.5f, 2, 0);
    float t = 0;
    ASSERT_TRUE(c.intersect(ray(0, 0.3f, 1, 0), t));
    EXPECT_FLOAT_EQ(t, -2.0f);
}

TEST(SegmentShape, CrossingInTheMiddle) {
    const SegmentShape s = segment(0, -1, 0, 1);
    float t = 0;
    ASSERT_TRUE(s.intersect(ray(-2, 0, 1, 0), t));
    EXPECT_EQ(t, -2.0f);
    ASSERT_TRUE(s.intersect(ray(-2, 0, -1, 0), t));
    EXPECT_EQ(t, 2.0f);
}

TEST(SegmentShape, BothEndPointsMiss) {
    const SegmentShape s = segment(0, -1, 0, 1);
    float t = 5;
    EXPECT_FALSE(s.intersect(ray(-2, 1, 1, 0), t));
    EXPECT_FALSE(s.intersect(ray(-2, -1, 1, 0), t));
    EXPECT_FALSE(s.intersect(ray(-2, 1.5f, 1, 0), t));
    EXPECT_EQ(t, 5.0f);
}

TEST(SegmentShape, NearlyParallelLinesMissAndTheCutOffWidensForShortSegments) {
    const SegmentShape shortOne = segment(0, 0, 0, 0.5f);
    // sine 0.0015 against a segment of length 0.5: |det| = 0.00075 < 0.001.
    const float s = 0.0015f, c = std::sqrt(1 - s * s);
    float t = 0;
    EXPECT_FALSE(shortOne.intersect(ray(-0.0001f, 0.25f, s, c), t));
    // The same angle against a segment of length 2 crosses (|det| = 0.003).
    const SegmentShape longOne = segment(0, -1, 0, 1);
    EXPECT_TRUE(longOne.intersect(ray(-0.0001f, 0.0f, s, c), t));
    // Exactly parallel never hits.
    EXPECT_FALSE(longOne.intersect(ray(0, -5, 0, 1), t));
}

TEST(SegmentShape, SetEndStoresTheDirectionFromTheCurrentStart) {
    const SegmentShape s = segment(1.25f, -0.05f, 1.5f, 0.2f);
    EXPECT_EQ(s.start, (Vec2{1.25f, -0.05f}));
    EXPECT_FLOAT_EQ(s.dir.x, 0.25f);
    EXPECT_FLOAT_EQ(s.dir.y, 0.25f);
}

TEST(Attenuate, TruncatesTheWeightAndShiftsEachChannel) {
    CircleShape c;
    c.setColor(240, 240, 240);
    c.setFalloff(2.0f);
    Rgb out;
    c.attenuate(0.5f, out);
    EXPECT_EQ(out.r, 120);
    EXPECT_EQ(out.g, 120);
    EXPECT_EQ(out.b, 120);
    c.attenuate(0.0f, out);
    EXPECT_EQ(out.r, 240);

    // Falloff x distance = 1 halves the colour, rounded down: 255 -> 127.
    c.setColor(255, 1, 0);
    c.setFalloff(1.0f);
    c.attenuate(1.0f, out);
    EXPECT_EQ(out.r, 127);
    EXPECT_EQ(out.g, 0);
    EXPECT_EQ(out.b, 0);

    // 65536 / 3 = 21845.33 truncates to 21845; 21845 * 200 >> 16 = 66.
    c.setColor(200, 200, 200);
    c.setFalloff(2.0f);
    c.attenuate(1.0f, out);
    EXPECT_EQ(out.r, 66);
}

TEST(Attenuate, NegativeColoursShiftArithmetically) {
    CircleShape c;
    c.setColor(-719, -1, 0);
    c.setFalloff(0.0f);
    Rgb out;
    c.attenuate(3.0f, out);
    EXPECT_EQ(out.r, -719);
    EXPECT_EQ(out.g, -1);
    c.setFalloff(1.0f);
    c.attenuate(1.0f, out);  // weight 32768
    EXPECT_EQ(out.r, -360);  // floor(-359.5)
}

TEST(MayHit, DiscIsCulledOnlyWhenClearOfBothBoundaryLines) {
    // Slot of directions around +y: normals (-1, 0) and roughly (-0.98, 0.19).
    const Vec2 nA{-1.0f, 0.0f}, nB{-0.98f, 0.199f};
    const Vec2 p{0, 0};
    EXPECT_FALSE(disc(0.1f, -5, 0).mayHit(p, 0.5f, nA, nB));  // far on the positive side
    EXPECT_FALSE(disc(0.1f, 5, 0).mayHit(p, 0.5f, nA, nB));   // far on the negative side
    EXPECT_TRUE(disc(0.1f, 0, 5).mayHit(p, 0.5f, nA, nB));    // straight along the slot
    EXPECT_TRUE(disc(0.1f, -0.55f, 0).mayHit(p, 0.5f, nA, nB));  // within the margin
    // Straddling: positive of one line, negative of the other.
    EXPECT_TRUE(disc(0.01f, -1, -10).mayHit(p, 0.1f, nA, nB));
}

TEST(MayHit, ComparisonsAreStrict) {
    const Vec2 n{-1.0f, 0.0f};
    const Vec2 p{0, 0};
    // cA - radius == x exactly: not "greater", so kept.
    EXPECT_TRUE(disc(0.25f, -1.0f, 0).mayHit(p, 0.75f, n, n));
    EXPECT_FALSE(disc(0.25f, -1.0f, 0).mayHit(p, 0.5f, n, n));
    EXPECT_TRUE(segment(-0.5f, -1, -0.5f, 1).mayHit(p, 0.5f, n, n));
    EXPECT_FALSE(segment(-0.5f, -1, -0.5f, 1).mayHit(p, 0.25f, n, n));
}

TEST(MayHit, SegmentNeedsAllFourEndPointProductsOnOneSide) {
    const Vec2 nA{-1.0f, 0.0f}, nB{-0.98f, 0.199f};
    const Vec2 p{0, 0};
    EXPECT_FALSE(segment(-3, -1, -3, 1).mayHit(p, 0.5f, nA, nB));
    EXPECT_FALSE(segment(3, -1, 3, 1).mayHit(p, 0.5f, nA, nB));
    EXPECT_TRUE(segment(-3, 0, 3, 0).mayHit(p, 0.5f, nA, nB));  // crosses the slot
}

TEST(ShapeList, StartsWithRoomForSixteenAndDoubles) {
    ShapeList list;
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.capacity(), 16u);
    std::vector<CircleShape> shapes(17);
    for (auto& s : shapes) list.pushBack(&s);
    EXPECT_EQ(list.size(), 17u);
    EXPECT_EQ(list.capacity(), 32u);
    EXPECT_EQ(list[16], &shapes[16]);
    list.clear();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.capacity(), 32u);
}

// Records destruction order through the virtual destructor.
std::vector<int>* destroyed = nullptr;
struct Probe final : public Shape {
    explicit Probe(int tag) : Shape(ShapeKind::Circle), tag(tag) {}
    ~Probe() override { destroyed->push_back(tag); }
    bool intersect(const Ray&, float&) const override { return false; }
    bool mayHit(const Vec2&, float, const Vec2&, const Vec2&) const override { return false; }
    int tag;
};

TEST(ShapeList, DeleteShapesDeletesLastFirstAndKeepsCapacity) {
    std::vector<int> order;
    destroyed = &order;
    ShapeList list;
    list.deleteShapes();  // empty: nothing happens
    EXPECT_TRUE(order.empty());
    list.pushBack(new Probe(1));
    list.pushBack(nullptr);  // a null entry is skipped
    list.pushBack(new Probe(2));
    list.pushBack(new Probe(3));
    const size_t capacity = list.capacity();
    list.deleteShapes();
    EXPECT_EQ(order, (std::vector<int>{3, 2, 1}));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.capacity(), capacity);
    destroyed = nullptr;
}

TEST(Shapes, NewShapesStartZeroed) {
    CircleShape c;
    SegmentShape s;
    EXPECT_EQ(c.red, 0);
    EXPECT_EQ(c.falloff, 0.0f);
    EXPECT_EQ(c.radius, 0.0f);
    EXPECT_EQ(s.dir, (Vec2{0, 0}));
    EXPECT_EQ(c.kind(), ShapeKind::Circle);
    EXPECT_EQ(s.kind(), ShapeKind::Segment);
}

}  // namespace
}  // namespace lumek
