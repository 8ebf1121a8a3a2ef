#include "scenes/library.h"

#include <algorithm>
#include <span>

namespace lumek {

namespace {

struct Colour {
    int r, g, b;
};

// One row of a scene table: a disc (centre, radius) or a segment
// (start -> end), with its colour and falloff.
struct ShapeRow {
    ShapeKind kind;
    float x0, y0, x1, y1;  // disc: centre x, centre y, radius, unused
    Colour colour;
    float falloff;
};

constexpr ShapeRow circle(float cx, float cy, float radius, Colour c, float falloff) {
    return {ShapeKind::Circle, cx, cy, radius, 0.0f, c, falloff};
}
constexpr ShapeRow segment(float x0, float y0, float x1, float y1, Colour c, float falloff) {
    return {ShapeKind::Segment, x0, y0, x1, y1, c, falloff};
}

constexpr Colour kOrange{232, 185, 45}, kLogoBlue{32, 96, 160}, kWhite{240, 240, 240},
    kDarkRed{128, 0, 0}, kBlack{0, 0, 0}, kShade{0, 32, 32}, kBrown{111, 73, 40},
    kDarkGreen{0, 48, 0};

// A large orange disc touching the origin and two small outlined triangles.
constexpr ShapeRow kLumeklogoRows[] = {
    circle(0.0f, 4.0f, 4.0f, kOrange, 0.05f),
    segment(1.5f, -0.3f, 1.5f, 0.2f, kLogoBlue, 40.0f),
    segment(1.25f, -0.05f, 1.5f, 0.2f, kLogoBlue, 40.0f),
    segment(1.5f, -0.3f, 1.25f, -0.05f, kLogoBlue, 40.0f),
    segment(1.7f, -0.3f, 1.7f, 0.2f, kLogoBlue, 40.0f),
    segment(1.95f, -0.05f, 1.7f, 0.2f, kLogoBlue, 40.0f),
    segment(1.7f, -0.3f, 1.95f, -0.05f, kLogoBlue, 40.0f),
};

// A white light up and to the left of dark red lettering. The last stroke is
// in the list twice, as built.
constexpr ShapeRow kXMasRows[] = {
    circle(-1.8f, -1.5f, 0.5f, kWhite, 0.01f),
    segment(-1.2f, -0.5f, -0.5f, 0.5f, kDarkRed, 10.0f),
    segment(-1.2f, 0.5f, -0.5f, -0.5f, kDarkRed, 10.0f),
    segment(-0.4f, -0.1f, -0.4f, 0.5f, kDarkRed, 10.0f),
    segment(-0.4f, 0.0f, 0.4f, 0.0f, kDarkRed, 10.0f),
    segment(0.0f, 0.0f, 0.0f, 0.5f, kDarkRed, 10.0f),
    segment(0.4f, 0.0f, 0.4f, 0.5f, kDarkRed, 10.0f),
    circle(0.75f, 0.25f, 0.25f, kDarkRed, 5.0f),
    segment(1.0f, 0.0f, 1.0f, 0.5f, kDarkRed, 10.0f),
    segment(1.7f, -0.3f, 1.1f, 0.1f, kDarkRed, 10.0f),
    segment(1.1f, 0.1f, 1.6f, 0.4f, kDarkRed, 10.0f),
    segment(1.6f, 0.4f, 0.9f, 0.7f, kDarkRed, 10.0f),
    segment(1.6f, 0.4f, 0.9f, 0.7f, kDarkRed, 10.0f),
};

// Red, green and blue discs around a black one that only blocks light.
constexpr ShapeRow kColorCirclesRows[] = {
    circle(0.0f, 0.7f, 0.45f, {224, 0, 0}, 0.05f),
    circle(-0.606f, -0.35f, 0.45f, {0, 224, 0}, 0.05f),
    circle(0.606f, -0.35f, 0.45f, {0, 0, 224}, 0.05f),
    circle(0.0f, 0.0f, 0.23f, kBlack, 100.0f),
};

// A small light built far up the y axis and three black three-sided boxes.
constexpr ShapeRow kBoxesRows[] = {
    circle(0.0f, 16.0f, 0.1f, {224, 224, 224}, 0.1f),
    segment(0.15f, -0.075f, 0.15f, 0.075f, kBlack, 40.0f),
    segment(0.3f, 0.075f, 0.15f, 0.075f, kBlack, 40.0f),
    segment(0.15f, -0.075f, 0.3f, -0.075f, kBlack, 40.0f),
    segment(-0.15f, 0.1f, -0.15f, 0.25f, kBlack, 40.0f),
    segment(-0.3f, 0.25f, -0.15f, 0.25f, kBlack, 40.0f),
    segment(-0.15f, 0.1f, -0.3f, 0.1f, kBlack, 40.0f),
    segment(-0.15f, -0.1f, -0.15f, -0.25f, kBlack, 40.0f),
    segment(-0.3f, -0.25f, -0.15f, -0.25f, kBlack, 40.0f),
    segment(-0.15f, -0.1f, -0.3f, -0.1f, kBlack, 40.0f),
};

// A light built black (poses light it) in a two-segment shade, and four
// black corner brackets.
constexpr ShapeRow kSpotlightRows[] = {
    circle(0.0f, 0.0f, 0.1f, kBlack, 0.01f),
    segment(-0.15f, -0.15f, 0.15f, -0.15f, kShade, 40.0f),
    segment(-0.15f, -0.15f, -0.15f, 0.15f, kShade, 40.0f),
    segment(0.25f, 0.25f, 0.25f, 0.4f, kBlack, 40.0f),
    segment(0.25f, 0.25f, 0.4f, 0.25f, kBlack, 40.0f),
    segment(-0.25f, -0.25f, -0.25f, -0.4f, kBlack, 40.0f),
    segment(-0.25f, -0.25f, -0.4f, -0.25f, kBlack, 40.0f),
    segment(0.25f, -0.25f, 0.25f, -0.4f, kBlack, 40.0f),
    segment(0.25f, -0.25f, 0.4f, -0.25f, kBlack, 40.0f),
    segment(-0.25f, 0.25f, -0.25f, 0.4f, kBlack, 40.0f),
    segment(-0.25f, 0.25f, -0.4f, 0.25f, kBlack, 40.0f),
};

// A red light (built far away) and a green one; three black casters.
constexpr ShapeRow kShadow1Rows[] = {
    circle(1000.0f, 0.3f, 0.15f, {224, 0, 0}, 0.01f),
    circle(0.0f, -0.3f, 0.15f, {0, 224, 0}, 0.01f),
    segment(-0.075f, 0.0f, 0.075f, 0.0f, kBlack, 4.0f),
    segment(-0.225f, 0.0f, -0.375f, 0.0f, kBlack, 4.0f),
    segment(0.225f, 0.0f, 0.375f, 0.0f, kBlack, 4.0f),
};

// Four dim brown occluders (built out of view) and two light segments.
constexpr ShapeRow kShadow2Rows[] = {
    circle(0.23f, -20.0f, 0.04f, kBrown, 100.0f),
    circle(-0.23f, -20.0f, 0.04f, kBrown, 100.0f),
    circle(-0.23f, -20.0f, 0.04f, kBrown, 100.0f),
    circle(-0.23f, -20.0f, 0.04f, kBrown, 100.0f),
    segment(0.0f, -0.14f, 0.0f, -0.04f, {32, 32, 240}, 0.01f),
    segment(0.0f, 0.14f, 0.0f, 0.04f, {240, 32, 32}, 0.01f),
};

// A small white light above three dark green segments.
constexpr ShapeRow kShadow3Rows[] = {
    circle(0.0f, 0.05f, 0.05f, kWhite, 0.1f),
    segment(-0.9f, -0.2f, -0.5f, -0.2f, kDarkGreen, 30.0f),
    segment(-0.2f, -0.2f, 0.2f, -0.2f, kDarkGreen, 30.0f),
    segment(0.5f, -0.2f, 0.9f, -0.2f, kDarkGreen, 30.0f),
};

// Four large white lights far outside the default view.
constexpr ShapeRow kFarLightsRows[] = {
    circle(10.0f, 0.0f, 2.0f, kWhite, 0.001f),
    circle(-10.0f, 0.0f, 2.0f, kWhite, 0.001f),
    circle(0.0f, 15.0f, 2.0f, kWhite, 0.001f),
    circle(0.0f, -15.0f, 2.0f, kWhite, 0.001f),
};

constexpr ShapeRow kWhiteDiscRows[] = {
    circle(0.0f, 0.0f, 4.0f, kWhite, 0.1f),
};

struct SceneTable {
    const char* name;
    std::span<const ShapeRow> rows;
};

// Indexed by scene list.
constexpr SceneTable kScenes[kSceneCount] = {
    {"Lumeklogo", kLumeklogoRows},       {"XMas", kXMasRows},
    {"ColorCircles", kColorCirclesRows}, {"Boxes", kBoxesRows},
    {"Spotlight", kSpotlightRows},       {"Shadow1", kShadow1Rows},
    {"Shadow2", kShadow2Rows},           {"Shadow3", kShadow3Rows},
    {"FarLights", kFarLightsRows},       {"WhiteDisc", kWhiteDiscRows},
};

// Lists are built and released in this order.
constexpr int kListOrder[kSceneCount] = {1, 0, 2, 3, 4, 5, 6, 7, 8, 9};

Shape* makeShape(const ShapeRow& row) {
    Shape* shape;
    if (row.kind == ShapeKind::Circle) {
        auto* c = new CircleShape;
        c->setCircle(row.x1, row.x0, row.y0);
        shape = c;
    } else {
        auto* s = new SegmentShape;
        s->setStart(row.x0, row.y0);
        s->setEnd(row.x1, row.y1);
        shape = s;
    }
    shape->setColor(row.colour.r, row.colour.g, row.colour.b);
    shape->setFalloff(row.falloff);
    return shape;
}

}  // namespace

const char* sceneName(int index) { return kScenes[index].name; }

void buildSceneLibrary(SceneLibrary& library) {
    for (int index : kListOrder)
        for (const ShapeRow& row : kScenes[index].rows) library[index].pushBack(makeShape(row));
}

size_t largestScene(const SceneLibrary& library) {
    size_t largest = 0;
    for (int i = 0; i < kSceneCount; ++i) largest = std::max(largest, library[i].size());
    return largest;
}

void deleteSceneShapes(SceneLibrary& library) {
    for (int index : kListOrder) library[index].deleteShapes();
}

}  // namespace lumek
