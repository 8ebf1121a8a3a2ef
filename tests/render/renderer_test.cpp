#include "render/renderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "support/image_dump.h"
#include "support/sha256.h"

namespace lumek {
namespace {

// Owns the shapes of a test scene.
struct Scene {
    ShapeList list;
    std::vector<std::unique_ptr<Shape>> owned;

    CircleShape& disc(float r, float x, float y, int red, int green, int blue, float falloff) {
        auto c = std::make_unique<CircleShape>();
        c->setCircle(r, x, y);
        c->setColor(red, green, blue);
        c->setFalloff(falloff);
        list.pushBack(c.get());
        CircleShape& ref = *c;
        owned.push_back(std::move(c));
        return ref;
    }
    SegmentShape& segment(float x0, float y0, float x1, float y1, int red, int green, int blue,
                          float falloff) {
        auto s = std::make_unique<SegmentShape>();
        s->setStart(x0, y0);
        s->setEnd(x1, y1);
        s->setColor(red, green, blue);
        s->setFalloff(falloff);
        list.pushBack(s.get());
        SegmentShape& ref = *s;
        owned.push_back(std::move(s));
        return ref;
    }
};

struct View {
    Vec2 centre{0, 0};
    Vec2 axisX{1, 0};
    Vec2 axisY{0, 1};
    float height = 1.0f;
};

void renderView(RayRenderer& r, const ShapeList& shapes, const View& view) {
    Vec2 c = view.centre, ax = view.axisX, ay = view.axisY;
    r.render(shapes, c, ax, ay, view.height);
}

const uint8_t* pixelAt(const FrameImage& img, int x, int y) {
    return img.pixels.get() + 4 * (y * img.getWidth() + x);
}

TEST(RendererSetup, DirectionTablesCoverAHalfTurnInSlightlyShortSteps) {
    FrameImage img(8, 8, 1.0f);
    RandomStream rng;
    RayRenderer r(&img, rng);
    EXPECT_EQ(r.sinAt(0), 0.0f);
    EXPECT_EQ(r.cosAt(0), 1.0f);
    EXPECT_NEAR(r.sinAt(256), 1.0f, 1e-7);
    EXPECT_GT(r.cosAt(256), 0.0f);  // angle 1.5707..., just short of pi/2
    EXPECT_NEAR(std::acos(r.cosAt(256)), 1.5707, 1e-4);
    EXPECT_NEAR(r.sinAt(511), std::sin(3.13535), 2e-5);
    EXPECT_GT(r.sinAt(511), 0.0f);
    EXPECT_LT(r.cosAt(511), -0.9999f);
    // The running angle is a float sum of the float step.
    float angle = 0.0f;
    for (int i = 0; i < 300; ++i) angle += 0.0061357422f;
    EXPECT_EQ(r.sinAt(300), static_cast<float>(std::sin(static_cast<double>(angle))));
}

TEST(RendererSetup, TileSizeFollowsTheWidthAndTileRowsTheHeight) {
    struct Case {
        int width, height, shift, tilesX, tilesY;
    };
    for (const Case c :
         {Case{8, 8, 3, 1, 1}, Case{32, 32, 3, 4, 4}, Case{64, 64, 3, 8, 8},
          Case{128, 128, 3, 16, 16}, Case{144, 16, 4, 9, 1}, Case{256, 256, 4, 16, 16},
          Case{288, 32, 5, 9, 1}, Case{512, 512, 5, 16, 16}, Case{1024, 768, 5, 32, 24}}) {
        FrameImage img(c.width, c.height, 1.0f);
        RandomStream rng;
        RayRenderer r(&img, rng);
        EXPECT_EQ(r.tileShift(), c.shift) << c.width;
        EXPECT_EQ(r.tileSize(), float(1 << c.shift)) << c.width;
        EXPECT_EQ(r.tilesX(), c.tilesX) << c.width;
        EXPECT_EQ(r.tilesY(), c.tilesY) << c.width;
        EXPECT_EQ(r.candidates(c.tilesX - 1, c.tilesY - 1, 15).capacity(), 16u);
    }
}

TEST(Render, AnEmptySceneIsBlackAndDrawsOncePerPixel) {
    FrameImage img(32, 32, 1.333f);
    std::memset(img.pixels.get(), 0x5a, img.byteCount());
    RandomStream rng;
    RayRenderer r(&img, rng);
    ShapeList empty;
    renderView(r, empty, View{});
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint8_t* p = pixelAt(img, x, y);
            ASSERT_EQ(p[0] | p[1] | p[2], 0) << x << "," << y;
            ASSERT_EQ(p[3], 0x5a) << "the fourth byte is never written";
        }
    RandomStream expected;
    expected.advance(32 * 32);
    EXPECT_EQ(rng.state(), expected.state());
}

TEST(Render, EveryPixelInsideADiscGetsItsFullColour) {
    Scene scene;
    scene.disc(0.3f, 0.1f, -0.05f, 240, 240, 240, 3.0f);
    FrameImage img(32, 32, 1.0f);
    RandomStream rng;
    RayRenderer r(&img, rng);
    renderView(r, scene.list, View{});
    const FrameGeometry g = frameGeometry(32, 32, 1.0f, 8.0f, {0, 0}, {1, 0}, {0, 1}, 1.0f);
    int inside = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const float px = g.origin.x + x * g.u.x - 0.1f, py = g.origin.y + y * g.v.y + 0.05f;
            const uint8_t* p = pixelAt(img, x, y);
            if (px * px + py * py < 0.29f * 0.29f) {
                ++inside;
                ASSERT_EQ(p[0], 240);
                ASSERT_EQ(p[1], 240);
                ASSERT_EQ(p[2], 240);
            } else if (px * px + py * py > 0.31f * 0.31f) {
                ASSERT_LT(p[0], 240);
            }
        }
    EXPECT_GT(inside, 200);
}

TEST(Render, ABrightPixelSaturatesInsteadOfWrapping) {
    // Inside a closed square of white walls with no falloff every line meets
    // a wall on each side: 32 x 255 = 8160, divided by 16 is 510.
    Scene scene;
    const float e = 1.05f;  // walls overlap at the corners so no line slips out
    scene.segment(-e, -1, e, -1, 255, 255, 255, 0.0f);
    scene.segment(1, -e, 1, e, 255, 255, 255, 0.0f);
    scene.segment(e, 1, -e, 1, 255, 255, 255, 0.0f);
    scene.segment(-1, e, -1, -e, 255, 255, 255, 0.0f);
    FrameImage img(32, 32, 1.0f);
    RandomStream rng;
    RayRenderer r(&img, rng);
    renderView(r, scene.list, View{});
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const uint8_t* p = pixelAt(img, x, y);
            ASSERT_EQ(p[0], 255) << x << "," << y;
            ASSERT_EQ(p[1], 255);
            ASSERT_EQ(p[2], 255);
        }
}

TEST(Render, TheFarLimitAppliesOnlyWhenThereAreSeveralCandidates) {
    // A long wall two million units to the right, seen along horizontal lines.
    auto wallScene = [](int copies) {
        auto scene = std::make_unique<Scene>();
        for (int i = 0; i < copies; ++i)
            scene->segment(2.0e6f, -1.0e9f, 2.0e6f, 1.0e9f, 255, 255, 255, 0.0f);
        return scene;
    };
    FrameImage img(8, 8, 1.0f);
    RandomStream rng;
    RayRenderer r(&img, rng);

    const auto one = wallScene(1);
    renderView(r, one->list, View{});
    EXPECT_GT(pixelAt(img, 4, 4)[0], 0) << "a single candidate has no distance limit";

    const auto two = wallScene(2);
    renderView(r, two->list, View{});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(pixelAt(img, x, y)[0], 0) << x << "," << y;

    // Just inside the limit it counts again.
    Scene near;
    near.segment(0.9e6f, -1.0e9f, 0.9e6f, 1.0e9f, 255, 255, 255, 0.0f);
    near.segment(0.9e6f, -1.0e9f, 0.9e6f, 1.0e9f, 255, 255, 255, 0.0f);
    renderView(r, near.list, View{});
    EXPECT_GT(pixelAt(img, 4, 4)[0], 0);
}

TEST(Render, TiesGoToTheEarlierShape) {
    // Two identical walls, red first: only red is seen.
    Scene scene;
    scene.segment(0.4f, -5, 0.4f, 5, 200, 0, 0, 0.5f);
    scene.segment(0.4f, -5, 0.4f, 5, 0, 200, 0, 0.5f);
    FrameImage img(16, 16, 1.0f);
    RandomStream rng;
    RayRenderer r(&img, rng);
    renderView(r, scene.list, View{});
    EXPECT_GT(pixelAt(img, 8, 8)[0], 0);
    EXPECT_EQ(pixelAt(img, 8, 8)[1], 0);
}

TEST(Render, JitterMovesOnFromOneRenderToTheNext) {
    Scene scene;
    scene.disc(0.1f, -0.3f, 0.0f, 240, 200, 100, 1.0f);
    scene.segment(0.0f, -0.15f, 0.0f, 0.15f, 0, 0, 0, 10.0f);
    FrameImage img(32, 32, 1.333f);
    RandomStream rng;
    RayRenderer r(&img, rng);
    renderView(r, scene.list, View{});
    const std::vector<uint8_t> first(img.pixels.get(), img.pixels.get() + img.byteCount());
    renderView(r, scene.list, View{});
    EXPECT_NE(std::memcmp(first.data(), img.pixels.get(), img.byteCount()), 0);
}

TEST(Render, OverwritesTheCallersVectorsWithTheSteps) {
    FrameImage img(64, 64, 1.333f);
    RandomStream rng;
    RayRenderer r(&img, rng);
    ShapeList empty;
    for (Vec2 centre : {Vec2{0, 0}, Vec2{5.5f, -3.25f}}) {
        Vec2 c = centre, ax{1, 0}, ay{0, 1};
        r.render(empty, c, ax, ay, 1.0f);
        EXPECT_EQ(ax.x, 1.333f / 64);
        EXPECT_EQ(ax.y, 0.0f);
        EXPECT_EQ(ay.x, 0.0f);
        EXPECT_EQ(ay.y, 1.0f / 64);
        EXPECT_NEAR(r.lastTileRadius(), 0.0911, 1e-4);
        EXPECT_NEAR(r.lastTileRadius(), 3.5 * std::hypot(1.333 / 64, 1.0 / 64), 1e-6);
        // The start of the row after the last one.
        EXPECT_NEAR(c.x, centre.x - 31.5 * 1.333 / 64, 1e-5);
        EXPECT_NEAR(c.y, centre.y + 32.5 / 64, 1e-5);
    }
}

// The renderer's pixel pass with culling taken out: every shape of the scene
// is tested on every line. Jitter is drawn exactly as the renderer draws it
// (only for slots whose culled list is non-empty). For a slot the culling
// emptied, no shape may be met by any of the slot's directions.
struct UnculledResult {
    int missedByCulling = 0;
};

UnculledResult renderUnculled(const ShapeList& scene, FrameImage& img, RandomStream& rng,
                              const View& view) {
    RandomStream unused;
    FrameImage cullImage(img.getWidth(), img.getHeight(), img.getAspect());
    RayRenderer culler(&cullImage, unused);
    const FrameGeometry g =
        frameGeometry(img.getWidth(), img.getHeight(), img.getAspect(), culler.tileSize(),
                      view.centre, view.axisX, view.axisY, view.height);
    culler.cull(scene, g);

    UnculledResult result;
    const int s = culler.tileShift();
    Vec2 rowStart = g.origin;
    for (int y = 0; y < img.getHeight(); ++y) {
        Ray ray{rowStart, {}};
        for (int x = 0; x < img.getWidth(); ++x) {
            PixelSums sum;
            for (int k = 0; k < kSlotCount; ++k) {
                float t;
                if (culler.candidates(x >> s, y >> s, k).empty()) {
                    for (int j = 0; j < kSlotWidth; ++j) {
                        ray.dir = {culler.sinAt(32 * k + j), culler.cosAt(32 * k + j)};
                        for (Shape* shape : scene)
                            if (shape->intersect(ray, t)) ++result.missedByCulling;
                    }
                    continue;
                }
                const int j = 32 * k + (rng.next() & 31);
                ray.dir = {culler.sinAt(j), culler.cosAt(j)};
                float nearPos = 1e6f, nearNeg = 1e6f;
                const Shape *hitPos = nullptr, *hitNeg = nullptr;
                for (Shape* shape : scene) {
                    if (!shape->intersect(ray, t)) continue;
                    if (t > 0) {
                        if (t < nearPos) nearPos = t, hitPos = shape;
                    } else if (t < 0) {
                        if (-t < nearNeg) nearNeg = -t, hitNeg = shape;
                    } else {
                        nearPos = 0, hitPos = shape, hitNeg = nullptr;
                        break;
                    }
                }
                if (hitPos) addContribution(*hitPos, nearPos, sum);
                if (hitNeg) addContribution(*hitNeg, nearNeg, sum);
            }
            uint8_t* p = img.pixels.get() + 4 * (y * img.getWidth() + x);
            p[0] = channelByte(sum.r);
            p[1] = channelByte(sum.g);
            p[2] = channelByte(sum.b);
            rng.next();
            ray.origin.x += g.u.x;
            ray.origin.y += g.u.y;
        }
        rowStart.x += g.v.x;
        rowStart.y += g.v.y;
    }
    return result;
}

TEST(Render, CullingNeverDropsAShapeALineCouldMeet) {
    std::mt19937 gen(20261207);
    std::uniform_real_distribution<float> pos(-1.5f, 1.5f), unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> colour(0, 255), count(1, 12);
    const int sizes[][2] = {{32, 32}, {40, 24}, {64, 64}, {144, 32}, {288, 64}};
    int shapesTested = 0;
    for (int sceneIndex = 0; sceneIndex < 60; ++sceneIndex) {
        Scene scene;
        const int n = count(gen);
        for (int i = 0; i < n; ++i) {
            const float falloff = unit(gen) < 0.2f ? 0.0f : unit(gen) * 20.0f;
            if (unit(gen) < 0.4f)
                scene.disc(0.02f + unit(gen) * 0.5f, pos(gen), pos(gen), colour(gen), colour(gen),
                           colour(gen), falloff);
            else
                scene.segment(pos(gen), pos(gen), pos(gen), pos(gen), colour(gen), colour(gen),
                              colour(gen), falloff);
        }
        shapesTested += n;
        const float angle = unit(gen) * 6.2831853f;
        const View view{{pos(gen) * 0.5f, pos(gen) * 0.5f},
                        {std::cos(angle), std::sin(angle)},
                        {-std::sin(angle), std::cos(angle)},
                        0.3f + unit(gen) * 3.0f};
        const auto& size = sizes[sceneIndex % 5];
        const float aspect = sceneIndex % 2 ? 1.333f : 1.0f;

        FrameImage culled(size[0], size[1], aspect), unculled(size[0], size[1], aspect);
        RandomStream a, b;
        a.advance(sceneIndex * 7919);
        b.advance(sceneIndex * 7919);
        RayRenderer r(&culled, a);
        renderView(r, scene.list, view);
        const UnculledResult ref = renderUnculled(scene.list, unculled, b, view);

        ASSERT_EQ(ref.missedByCulling, 0) << "scene " << sceneIndex;
        ASSERT_EQ(a.state(), b.state()) << "scene " << sceneIndex;
        ASSERT_EQ(std::memcmp(culled.pixels.get(), unculled.pixels.get(), culled.byteCount()), 0)
            << "scene " << sceneIndex;
    }
    EXPECT_GT(shapesTested, 300);
}

TEST(Render, GoldenPicture) {
    // An orange light, a blue one and two black casters between them.
    Scene scene;
    scene.disc(0.12f, -0.45f, -0.2f, 240, 160, 40, 0.5f);
    scene.disc(0.08f, 0.5f, 0.25f, 40, 80, 240, 0.5f);
    scene.segment(-0.1f, -0.3f, 0.05f, 0.05f, 0, 0, 0, 10.0f);
    scene.segment(0.1f, 0.3f, 0.3f, 0.2f, 0, 0, 0, 10.0f);
    FrameImage img(32, 32, 1.333f);
    RandomStream rng;
    RayRenderer r(&img, rng);
    renderView(r, scene.list, View{{0.0f, 0.0f}, {1, 0}, {0, 1}, 1.0f});
    test::dumpImageIfAsked(img, "golden32");
    EXPECT_EQ(test::sha256Hex(img.pixels.get(), img.byteCount()),
              "f7daab4a26569d1c05e645497ee62f7defeae08548fdbdbf8ad2cdbc1c560af8");
}

}  // namespace
}  // namespace lumek
