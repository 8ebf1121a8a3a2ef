// The fast render (threads, vector lanes) against the straightforward one:
// the same bytes and the same generator state after every frame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "render/renderer.h"
#include "render/targets.h"
#include "scenes/library.h"
#include "scenes/timeline.h"
#include "shots/shots.h"

namespace lumek {
namespace {

struct Variant {
    std::string name;
    int threads;
    fast::RowShader shader;
};

// Every row shader this processor runs, on one thread and on several.
std::vector<Variant> variants() {
    std::vector<Variant> out;
    for (const fast::RowShaderTarget& t : fast::supportedRowShaders())
        for (int threads : {1, 3})
            out.push_back({std::string(t.name) + "/" + std::to_string(threads), threads, t.shade});
    return out;
}

struct View {
    Vec2 centre{0, 0}, axisX{1, 0}, axisY{0, 1};
    float height = 1.0f;
};

// Renders the view with the reference and with every variant, each from the
// same generator state, and compares images, returned vectors and states.
void expectSameAsReference(const ShapeList& shapes, const View& view, int width, int height,
                           float aspect, uint32_t startState, const std::string& what) {
    FrameImage expected(width, height, aspect);
    RandomStream refRandom;
    refRandom.setState(startState);
    RayRenderer reference(&expected, refRandom, 1);
    Vec2 rc = view.centre, rx = view.axisX, ry = view.axisY;
    reference.renderReference(shapes, rc, rx, ry, view.height);

    for (const Variant& v : variants()) {
        FrameImage image(width, height, aspect);
        std::memset(image.pixels.get(), 0x77, image.byteCount());
        RandomStream random;
        random.setState(startState);
        RayRenderer renderer(&image, random, v.threads);
        renderer.useRowShader(v.shader);
        Vec2 c = view.centre, x = view.axisX, y = view.axisY;
        renderer.render(shapes, c, x, y, view.height);
        ASSERT_EQ(random.state(), refRandom.state()) << what << " " << v.name;
        EXPECT_EQ(c, rc) << what << " " << v.name;
        EXPECT_EQ(x, rx) << what << " " << v.name;
        EXPECT_EQ(y, ry) << what << " " << v.name;
        for (size_t i = 0; i < image.byteCount(); i += 4) {
            ASSERT_EQ(std::memcmp(image.pixels.get() + i, expected.pixels.get() + i, 3), 0)
                << what << " " << v.name << ": pixel " << i / 4 % width << "," << i / 4 / width;
            ASSERT_EQ(image.pixels[i + 3], 0x77) << "the fourth byte is left alone";
        }
    }
}

TEST(FastRender, TheEightShotViews) {
    SceneLibrary lib;
    buildSceneLibrary(lib);
    uint32_t state = RandomStream::kStartState;
    for (int row = 1; row <= kShotCount; ++row) {
        poseShot(row, lib);
        const ShotRow& shot = shotRow(row);
        View view;
        view.centre = shot.viewCentre;
        view.height = shot.viewHeight;
        expectSameAsReference(lib[shot.list], view, kShotWidth, kShotHeight, 1.0f, state,
                              "shot " + std::to_string(row));
        state = state * 2654435761u + 12345u;  // some other start for the next one
    }
    deleteSceneShapes(lib);
}

TEST(FastRender, ShowPosesAtEveryRenderSize) {
    const uint32_t times[] = {0,      9000,   20000,  33000,  41000,  55000,  67000,
                              93000,  110000, 137000, 160000, 188000, 196000, 205000,
                              226000, 236000, 273000, 276000, 301000, 306000, 311000};
    for (uint32_t t : times) {
        SceneLibrary lib;
        buildSceneLibrary(lib);
        TimelineState timeline;
        View view;
        for (int i = 0; i < 30; ++i)  // catch up so every pose is in place
            stepTimeline(timeline, lib, t, view.centre, view.axisX, view.axisY, view.height);
        for (int size : {32, 64, 128, 256, 512}) {
            if (size == 512 && t % 3 != 0) continue;  // keep the run short
            expectSameAsReference(*timeline.currentShapes, view, size, size, 1.333f, t * 7 + 1,
                                  "t " + std::to_string(t) + " size " + std::to_string(size));
        }
        deleteSceneShapes(lib);
    }
}

struct RandomScene {
    ShapeList list;
    std::vector<std::unique_ptr<Shape>> owned;
};

void addDisc(RandomScene& s, float r, float x, float y, int red, int green, int blue, float f) {
    auto c = std::make_unique<CircleShape>();
    c->setCircle(r, x, y);
    c->setColor(red, green, blue);
    c->setFalloff(f);
    s.list.pushBack(c.get());
    s.owned.push_back(std::move(c));
}

void addSegment(RandomScene& s, float x0, float y0, float x1, float y1, int red, int green,
                int blue, float f) {
    auto g = std::make_unique<SegmentShape>();
    g->setStart(x0, y0);
    g->setEnd(x1, y1);
    g->setColor(red, green, blue);
    g->setFalloff(f);
    s.list.pushBack(g.get());
    s.owned.push_back(std::move(g));
}

TEST(FastRender, RandomScenesAndViews) {
    std::mt19937 gen(31337);
    std::uniform_real_distribution<float> pos(-1.5f, 1.5f), unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> colour(0, 255);
    const int sizes[][2] = {{32, 32}, {48, 16}, {64, 64}, {128, 96}, {144, 48}, {288, 64}};
    for (int sceneIndex = 0; sceneIndex < 48; ++sceneIndex) {
        RandomScene scene;
        // Now and then more shapes than the fast pass prepares at once.
        const int count = sceneIndex % 12 == 5 ? 70 : int(unit(gen) * 14);
        for (int i = 0; i < count; ++i) {
            const float falloff = unit(gen) < 0.2f ? 0.0f : unit(gen) * 30.0f;
            const int r = colour(gen), g = colour(gen), b = colour(gen);
            const float kind = unit(gen);
            if (kind < 0.35f) {
                // Large discs put many pixels inside (distance-0 hits).
                addDisc(scene, 0.02f + unit(gen) * (unit(gen) < 0.3f ? 1.5f : 0.3f), pos(gen),
                        pos(gen), r, g, b, falloff);
            } else if (kind < 0.9f) {
                addSegment(scene, pos(gen), pos(gen), pos(gen), pos(gen), r, g, b, falloff);
            } else {
                // Far walls: met at a million or more, counted only alone.
                const float d = (unit(gen) < 0.5f ? 1.2e6f : 0.8e6f) * (unit(gen) < 0.5f ? -1 : 1);
                addSegment(scene, d, -3.0e9f, d, 3.0e9f, r, g, b, falloff * 1e-7f);
            }
        }
        const float angle = unit(gen) * 6.2831853f;
        const bool mirrored = unit(gen) < 0.3f;
        View view;
        view.centre = {pos(gen) * 0.5f, pos(gen) * 0.5f};
        view.axisX = {std::cos(angle), std::sin(angle)};
        view.axisY = mirrored ? Vec2{std::sin(angle), -std::cos(angle)}
                              : Vec2{-std::sin(angle), std::cos(angle)};
        view.height = 0.2f + unit(gen) * 4.0f;
        const auto& size = sizes[sceneIndex % 6];
        expectSameAsReference(scene.list, view, size[0], size[1], sceneIndex % 2 ? 1.333f : 1.0f,
                              gen(), "scene " + std::to_string(sceneIndex));
    }
}

TEST(FastRender, RendersRepeatedlyWithoutGrowingOrDrifting) {
    // One renderer across scenes of different sizes, as the show uses it.
    SceneLibrary lib;
    buildSceneLibrary(lib);
    FrameImage fastImage(128, 128, 1.333f), refImage(128, 128, 1.333f);
    RandomStream fastRandom, refRandom;
    RayRenderer fastRenderer(&fastImage, fastRandom, 2), refRenderer(&refImage, refRandom, 1);
    for (int round = 0; round < 3; ++round)
        for (int list : {kXMas, kWhiteDisc, kLumeklogo, kColorCircles, kXMas}) {
            Vec2 c1{0, 0}, x1{1, 0}, y1{0, 1}, c2 = c1, x2 = x1, y2 = y1;
            fastRenderer.render(lib[list], c1, x1, y1, 2.0f);
            refRenderer.renderReference(lib[list], c2, x2, y2, 2.0f);
            ASSERT_EQ(fastRandom.state(), refRandom.state());
            ASSERT_EQ(
                std::memcmp(fastImage.pixels.get(), refImage.pixels.get(), fastImage.byteCount()),
                0)
                << "round " << round << " list " << list;
        }
    deleteSceneShapes(lib);
}

// Bands of rows, each from its own renderer with the same scene and start
// state, put together, are the whole frame; rows outside a band keep their
// bytes, and every band ends with the whole frame's generator and vectors.
void expectBandsMakeTheFrame(const ShapeList& shapes, const View& view, int width, int height,
                             uint32_t startState, const std::string& what) {
    FrameImage whole(width, height, 1.333f);
    RandomStream wholeRandom;
    wholeRandom.setState(startState);
    RayRenderer wholeRenderer(&whole, wholeRandom, 1);
    Vec2 wc = view.centre, wx = view.axisX, wy = view.axisY;
    wholeRenderer.render(shapes, wc, wx, wy, view.height);

    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int bands : {1, 2, 3, 4, 7}) {
        FrameImage joined(width, height, 1.333f);
        for (int b = 0; b < bands; ++b) {
            const int first = height * b / bands, end = height * (b + 1) / bands;
            FrameImage image(width, height, 1.333f);
            std::memset(image.pixels.get(), 0x77, image.byteCount());
            RandomStream random;
            random.setState(startState);
            RayRenderer renderer(&image, random, b % 2 ? 3 : 1);
            Vec2 c = view.centre, x = view.axisX, y = view.axisY;
            renderer.renderRows(shapes, c, x, y, view.height, first, end);
            const std::string band = what + " band " + std::to_string(b + 1) + " of " +
                                     std::to_string(bands) + " (rows " + std::to_string(first) +
                                     " .. " + std::to_string(end - 1) + ")";
            ASSERT_EQ(random.state(), wholeRandom.state()) << band;
            EXPECT_EQ(c, wc) << band;
            EXPECT_EQ(x, wx) << band;
            EXPECT_EQ(y, wy) << band;
            for (int row = 0; row < height; ++row) {
                const uint8_t* got = image.pixels.get() + row * rowBytes;
                if (row >= first && row < end) continue;
                for (size_t i = 0; i < rowBytes; ++i)
                    ASSERT_EQ(got[i], 0x77) << band << ": row " << row << " was written";
            }
            std::memcpy(joined.pixels.get() + first * rowBytes,
                        image.pixels.get() + first * rowBytes, (end - first) * rowBytes);
        }
        for (int row = 0; row < height; ++row)
            for (size_t i = 0; i < rowBytes; i += 4)
                ASSERT_EQ(std::memcmp(joined.pixels.get() + row * rowBytes + i,
                                      whole.pixels.get() + row * rowBytes + i, 3),
                          0)
                    << what << " in " << bands << " bands: pixel " << i / 4 << "," << row;
    }
}

TEST(FastRender, BandsOfRowsMakeTheWholeFrame) {
    const uint32_t times[] = {5000, 33000, 93000, 188000, 276000, 306000};
    for (uint32_t t : times) {
        SceneLibrary lib;
        buildSceneLibrary(lib);
        TimelineState timeline;
        View view;
        for (int i = 0; i < 30; ++i)
            stepTimeline(timeline, lib, t, view.centre, view.axisX, view.axisY, view.height);
        for (int size : {32, 128})
            expectBandsMakeTheFrame(*timeline.currentShapes, view, size, size, t * 5 + 3,
                                    "t " + std::to_string(t) + " size " + std::to_string(size));
        deleteSceneShapes(lib);
    }
    // More shapes than the fast path takes: the whole frame is drawn, and
    // the band's rows are still right.
    RandomScene crowd;
    for (int i = 0; i < 70000; ++i)
        addDisc(crowd, 0.001f, (i % 300) * 1.0f - 150, (i / 300) * 1.0f - 117, 40, 30, 20, 10);
    FrameImage whole(32, 32, 1.0f), band(32, 32, 1.0f);
    RandomStream wholeRandom, bandRandom;
    RayRenderer wholeRenderer(&whole, wholeRandom, 1), bandRenderer(&band, bandRandom, 1);
    Vec2 c1{0, 0}, x1{1, 0}, y1{0, 1}, c2 = c1, x2 = x1, y2 = y1;
    wholeRenderer.render(crowd.list, c1, x1, y1, 2.0f);
    bandRenderer.renderRows(crowd.list, c2, x2, y2, 2.0f, 8, 16);
    EXPECT_EQ(bandRandom.state(), wholeRandom.state());
    EXPECT_EQ(
        std::memcmp(band.pixels.get() + 8 * 32 * 4, whole.pixels.get() + 8 * 32 * 4, 8 * 32 * 4),
        0);
}

// A band of a scene the whole frame lists (a small picture, more shapes
// than the lists take at any size) takes the cells, whose cost follows the
// band, and its rows are still the whole frame's.
TEST(FastRender, ABandOfManyShapesTakesTheCells) {
    RandomScene scene;
    std::mt19937 gen(17);
    std::uniform_real_distribution<float> pos(-1.5f, 1.5f), unit(0.0f, 1.0f);
    for (int i = 0; i < 3000; ++i) {
        const float x = pos(gen), y = pos(gen);
        if (i % 3)
            addSegment(scene, x, y, x + 0.2f * (unit(gen) - 0.5f), y + 0.2f * (unit(gen) - 0.5f),
                       i % 256, 120, 200, 2.0f);
        else
            addDisc(scene, 0.01f + 0.03f * unit(gen), x, y, 250, i % 256, 60, 2.0f);
    }
    FrameImage whole(64, 48, 1.0f), band(64, 48, 1.0f);
    RandomStream wholeRandom, bandRandom;
    RayRenderer wholeRenderer(&whole, wholeRandom, 1), bandRenderer(&band, bandRandom, 2);
    ASSERT_FALSE(wholeRenderer.usesGrid(scene.list.size()));
    Vec2 c1{0, 0}, x1{1, 0}, y1{0, 1}, c2 = c1, x2 = x1, y2 = y1;
    wholeRenderer.render(scene.list, c1, x1, y1, 2.0f);
    bandRenderer.renderRows(scene.list, c2, x2, y2, 2.0f, 8, 24);
    EXPECT_EQ(wholeRenderer.grid().columns(), 0);
    EXPECT_GT(bandRenderer.grid().columns(), 0);
    EXPECT_EQ(bandRandom.state(), wholeRandom.state());
    const size_t rowBytes = 64 * 4;
    for (size_t i = 8 * rowBytes; i < 24 * rowBytes; i += 4)
        ASSERT_EQ(std::memcmp(band.pixels.get() + i, whole.pixels.get() + i, 3), 0) << i / 4;
}

TEST(FastRender, AnEmptyBandDrawsNothingButKeepsTheStream) {
    SceneLibrary lib;
    buildSceneLibrary(lib);
    FrameImage whole(64, 64, 1.0f), image(64, 64, 1.0f);
    std::memset(image.pixels.get(), 0x55, image.byteCount());
    RandomStream wholeRandom, random;
    RayRenderer wholeRenderer(&whole, wholeRandom, 1), renderer(&image, random, 2);
    Vec2 c1{0, 0}, x1{1, 0}, y1{0, 1}, c2 = c1, x2 = x1, y2 = y1;
    wholeRenderer.render(lib[kColorCircles], c1, x1, y1, 2.0f);
    // Empty, reversed and outside the image: nothing drawn.
    for (auto [first, end] : {std::pair{10, 10}, std::pair{40, 20}, std::pair{64, 90}}) {
        random.setState(RandomStream::kStartState);
        c2 = {0, 0}, x2 = {1, 0}, y2 = {0, 1};
        renderer.renderRows(lib[kColorCircles], c2, x2, y2, 2.0f, first, end);
        EXPECT_EQ(random.state(), wholeRandom.state()) << first << " .. " << end;
    }
    for (size_t i = 0; i < image.byteCount(); ++i) ASSERT_EQ(image.pixels[i], 0x55) << i;
    // A band past both ends is the whole frame.
    random.setState(RandomStream::kStartState);
    c2 = {0, 0}, x2 = {1, 0}, y2 = {0, 1};
    renderer.renderRows(lib[kColorCircles], c2, x2, y2, 2.0f, -5, 100);
    for (size_t i = 0; i < image.byteCount(); i += 4)
        ASSERT_EQ(std::memcmp(image.pixels.get() + i, whole.pixels.get() + i, 3), 0) << i / 4;
    deleteSceneShapes(lib);
}

TEST(FastRender, AnEmptySceneDrawsOncePerPixel) {
    ShapeList empty;
    FrameImage image(64, 32, 1.0f);
    RandomStream random;
    RayRenderer renderer(&image, random, 2);
    Vec2 c{0, 0}, x{1, 0}, y{0, 1};
    renderer.render(empty, c, x, y, 1.0f);
    RandomStream expected;
    expected.advance(64 * 32);
    EXPECT_EQ(random.state(), expected.state());
    for (size_t i = 0; i < image.byteCount(); i += 4)
        ASSERT_EQ(image.pixels[i] | image.pixels[i + 1] | image.pixels[i + 2], 0);
}

}  // namespace
}  // namespace lumek
