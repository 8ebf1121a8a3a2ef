// Large scenes go through cells instead of per-tile lists: against the
// straightforward render they must give the same bytes and leave the
// generator in the same state, on every row shader and thread count, also
// where hits tie, shapes coincide, touch the pixels or lie far away.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/owned_shapes.h"
#include "render/renderer.h"
#include "render/targets.h"

namespace lumek {
namespace {


struct View {
    Vec2 centre{0, 0}, axisX{1, 0}, axisY{0, 1};
    float height = 2.0f;
};

View turned(float angle, Vec2 centre, float height) {
    View v;
    v.centre = centre;
    v.axisX = {std::cos(angle), std::sin(angle)};
    v.axisY = {-std::sin(angle), std::cos(angle)};
    v.height = height;
    return v;
}

// The straightforward render against the cells on every row shader, one
// thread and three; also against the per-tile lists where the scene is
// small enough for them.
void expectCellsAgree(const OwnedShapes& scene, const View& view, int width, int height,
                      uint32_t startState, const std::string& what) {
    FrameImage expected(width, height, 1.0f);
    RandomStream refRandom;
    refRandom.setState(startState);
    RayRenderer reference(&expected, refRandom, 1);
    Vec2 rc = view.centre, rx = view.axisX, ry = view.axisY;
    reference.renderReference(scene.list, rc, rx, ry, view.height);

    // Cells, and lists (nearest first above a few dozen shapes) where the
    // scene fits them.
    std::vector<bool> ways{true};
    if (scene.list.size() <= fast::kMostListedShapes) ways.push_back(false);
    for (const bool cells : ways)
        for (const fast::RowShaderTarget& t : fast::supportedRowShaders())
            for (int threads : {1, 3}) {
                FrameImage image(width, height, 1.0f);
                std::memset(image.pixels.get(), 0x77, image.byteCount());
                RandomStream random;
                random.setState(startState);
                RayRenderer renderer(&image, random, threads);
                renderer.useRowShader(t.shade);
                renderer.useGridAbove(cells ? 0 : fast::kMostListedShapes);
                ASSERT_TRUE(renderer.usesGrid(scene.list.size()) == cells || scene.list.empty());
                Vec2 c = view.centre, x = view.axisX, y = view.axisY;
                renderer.render(scene.list, c, x, y, view.height);
                const std::string who = what + ", " + t.name + " on " + std::to_string(threads) +
                                        (cells ? ", cells" : ", lists");
                ASSERT_EQ(random.state(), refRandom.state()) << who;
                EXPECT_EQ(c, rc) << who;
                EXPECT_EQ(x, rx) << who;
                EXPECT_EQ(y, ry) << who;
                for (size_t i = 0; i < image.byteCount(); i += 4) {
                    ASSERT_EQ(std::memcmp(image.pixels.get() + i, expected.pixels.get() + i, 3), 0)
                        << who << ": pixel " << i / 4 % width << "," << i / 4 / width;
                    ASSERT_EQ(image.pixels[i + 3], 0x77)
                        << who << ": the fourth byte is left alone";
                }
            }
}

TEST(LargeScene, ThousandsOfShortSegmentsAndDiscs) {
    std::mt19937 gen(2024);
    std::uniform_real_distribution<float> pos(-1.6f, 1.6f), unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> colour(0, 255);
    OwnedShapes scene;
    for (int i = 0; i < 3000; ++i) {
        const float x = pos(gen), y = pos(gen);
        if (i % 4 == 0)
            scene.disc(0.002f + 0.02f * unit(gen), x, y, colour(gen), colour(gen), colour(gen),
                       unit(gen) * 8);
        else
            scene.segment(x, y, x + 0.1f * (unit(gen) - 0.5f), y + 0.1f * (unit(gen) - 0.5f),
                          colour(gen), colour(gen), colour(gen), unit(gen) * 8);
    }
    expectCellsAgree(scene, View{}, 64, 48, 7, "short segments");
    expectCellsAgree(scene, turned(0.7f, {0.3f, -0.2f}, 0.8f), 48, 32, 99, "turned close-up");
    // Most of the scene outside the view, and a view of nothing at all.
    expectCellsAgree(scene, turned(2.1f, {1.5f, 1.5f}, 0.3f), 32, 32, 5, "the corner");
    expectCellsAgree(scene, View{{40, -30}, {1, 0}, {0, 1}, 1.0f}, 32, 16, 3, "far from it");
    // Columns and rows far from right angles: a tile's pixels lie much
    // farther from its centre than its radius, the distance to one corner.
    expectCellsAgree(scene, View{{0.1f, 0.2f}, {1, 0}, {-0.99f, 0.05f}, 1.0f}, 32, 32, 8,
                     "skewed axes");
}

TEST(LargeScene, AMazeOfWallsAndLongSegmentsCrossingTheView) {
    OwnedShapes maze;
    std::mt19937 gen(77);
    std::uniform_int_distribution<int> coin(0, 1);
    const int cells = 24;
    const float size = 3.0f / cells;
    for (int i = 0; i <= cells; ++i)
        for (int j = 0; j < cells; ++j) {
            const float a = -1.5f + i * size, b = -1.5f + j * size;
            // Walls share their end points, and some lie on top of others.
            if (coin(gen)) maze.segment(a, b, a, b + size, 200, 180, 90, 3.0f);
            if (coin(gen)) maze.segment(b, a, b + size, a, 90, 180, 200, 3.0f);
            if (i == j) maze.segment(a, b, a, b + size, 250, 20, 20, 1.0f);
        }
    expectCellsAgree(maze, View{}, 64, 64, 11, "maze");
    expectCellsAgree(maze, turned(0.31f, {0.1f, 0.05f}, 1.1f), 48, 48, 12, "turned maze");

    OwnedShapes crossing;
    std::uniform_real_distribution<float> angle(0.0f, 6.2831853f), offset(-1.0f, 1.0f);
    for (int i = 0; i < 1500; ++i) {
        const float a = angle(gen), o = offset(gen);
        const float nx = std::cos(a), ny = std::sin(a);
        crossing.segment(o * nx - 3 * ny, o * ny + 3 * nx, o * nx + 3 * ny, o * ny - 3 * nx,
                         i % 256, 255 - i % 256, 128, 0.5f);
    }
    expectCellsAgree(crossing, View{}, 48, 48, 13, "long segments");
}

// Shapes at exactly the same distance (copies, mirrored copies, walls in a
// regular pattern), shapes the pixels lie on or in, degenerate shapes and
// shapes a million units away.
TEST(LargeScene, TiesTouchingDegenerateAndFarShapes) {
    OwnedShapes scene;
    // Regular rows of walls: many lines meet two at the same distance.
    for (int i = -20; i <= 20; ++i) {
        const float x = i * 0.0625f;
        scene.segment(x, -1.0f, x, 1.0f, 100 + i, 50, 200 - i, 2.0f);
        scene.segment(x, 1.0f, x, -1.0f, 10, 250, 10, 2.0f);  // the same wall, reversed
        scene.segment(-1.0f, x, 1.0f, x, 30, 30, 230, 4.0f);
    }
    // Coincident discs, one containing many pixels; discs inside discs.
    for (int copy = 0; copy < 3; ++copy) {
        scene.disc(0.3f, 0.25f, 0.25f, 200 - 50 * copy, 10, 50 * copy, 1.0f);
        scene.disc(0.05f, -0.5f, 0.4f, 90, 90, 90, 0.0f);
    }
    scene.disc(0.01f, 0.25f, 0.25f, 255, 255, 0, 0.0f);

    scene.disc(-0.2f, -0.3f, -0.3f, 40, 40, 250, 1.0f);  // negative radius
    // Zero-length segments, one on a pixel row.
    for (int i = 0; i < 30; ++i) scene.segment(i * 0.03f, -0.5f, i * 0.03f, -0.5f, 255, 0, 0, 1.0f);
    // Far away and beyond 1,000,000: counted only when alone in a list.
    scene.segment(1.2e6f, -3e9f, 1.2e6f, 3e9f, 250, 250, 0, 1e-7f);
    scene.segment(-0.8e6f, -3e9f, -0.8e6f, 3e9f, 0, 250, 250, 1e-7f);
    scene.disc(1e5f, 5e6f, 5e6f, 250, 0, 250, 0.0f);
    scene.disc(1.0f, 1e30f, 0.0f, 250, 0, 250, 0.0f);
    scene.disc(0.5f, std::nanf(""), 0.0f, 1, 2, 3, 1.0f);
    scene.segment(-INFINITY, 0.1f, 0.5f, 0.1f, 7, 8, 9, 1.0f);
    ASSERT_GT(scene.list.size(), 100u);
    expectCellsAgree(scene, View{}, 64, 64, 21, "ties");
    // Pixels on the walls themselves: a view whose pixels fall on the grid
    // of walls (64 pixels over 2 units put every fourth on a wall).
    expectCellsAgree(scene, View{{0.015625f, 0.015625f}, {1, 0}, {0, 1}, 2.0f}, 64, 64, 22,
                     "pixels on the walls");
    expectCellsAgree(scene, turned(1.5707964f, {0, 0}, 3.0f), 32, 32, 23, "a quarter turn");

    // Concentric discs meet a line at the same distance, the centre's: the
    // smaller, earlier in the scene, wins, though the larger comes first in
    // a list of the nearest first.
    OwnedShapes rings;
    for (int i = 0; i < 40; ++i) {
        const float x = -1.2f + 0.34f * (i % 8), y = -0.8f + 0.4f * static_cast<float>(i / 8);
        rings.disc(0.01f + 0.001f * i, x, y, 250, 0, 0, 1.0f);
        rings.disc(0.12f, x, y, 0, 0, 250, 1.0f);
    }
    expectCellsAgree(rings, View{}, 128, 96, 24, "concentric discs");
}

// Far from the origin the margin each shape is entered with spans several
// small cells: an upright wall (no slope) must still be entered in every
// cell along it, not only in the first row.
TEST(LargeScene, UprightWallsFarFromTheOriginThroughCells) {
    OwnedShapes scene;
    scene.disc(0x1.bd8df6p-6f, 0x1.e8481p+19f, 0x1.55cc1p+19f, 108, 228, 42, 0x1.71b136p-1f);
    scene.segment(0x1.e84804p+19f, 0x1.55cc0cp+19f, 0x1.e84804p+19f - 0x1p-4f,
                  0x1.55cc0cp+19f + 0x1.8p-3f, 75, 248, 128, 0x1.2793e2p+1f);
    scene.disc(0x1.ffafa8p-7f, 0x1.e847ecp+19f, 0x1.55cc14p+19f, 121, 150, 249, 0x1.02208cp+1f);
    scene.disc(0x1.0cff02p-5f, 0x1.e8480cp+19f, 0x1.55cc16p+19f, 99, 15, 201, 0x1.800e4cp-1f);
    scene.segment(0x1.e8481ap+19f, 0x1.55cc1ap+19f, 0x1.e8481ap+19f, 0x1.55cc1ap+19f - 0x1.8p-3f,
                  102, 133, 31, 0x1.6d3da4p-1f);
    const View view{{0x1.e848p+19f, 0x1.55ccp+19f},
                    {0x1.fe01aap-1f, 0x1.69195ap-4f},
                    {-0x1.69195ap-4f, 0x1.fe01aap-1f},
                    1.0f};
    expectCellsAgree(scene, view, 16, 8, 12346, "upright walls far off");
}

TEST(LargeScene, SmallScenesThroughCellsMatchToo) {
    // A handful of shapes: lists of 0, 1 and 2 candidates everywhere.
    OwnedShapes few;
    few.disc(0.2f, 0.0f, 0.0f, 240, 240, 240, 2.0f);
    few.segment(-0.9f, -0.5f, 0.8f, 0.6f, 200, 100, 50, 1.0f);
    few.segment(0.5f, -0.9f, 0.55f, 0.9f, 50, 100, 200, 1.0f);
    expectCellsAgree(few, View{}, 32, 32, 1, "three shapes");
    expectCellsAgree(few, turned(0.4f, {0.9f, 0.9f}, 0.5f), 32, 32, 2, "three shapes, edge");
    OwnedShapes none;
    expectCellsAgree(none, View{}, 16, 16, 3, "no shapes");
}

// Beyond the old 16-bit shape index: 70,000 shapes, most outside a small
// picture (the straightforward render stays affordable), some inside.
TEST(LargeScene, BeyondSixtyFiveThousandShapes) {
    OwnedShapes scene;
    std::mt19937 gen(5);
    std::uniform_real_distribution<float> wide(-200.0f, 200.0f), near(-1.0f, 1.0f),
        unit(0.0f, 1.0f);
    for (int i = 0; i < 70000; ++i) {
        const bool inView = i % 100 == 0;
        const float x = inView ? near(gen) : wide(gen), y = inView ? near(gen) : wide(gen);
        if (i % 3 == 0)
            scene.disc(0.01f + 0.05f * unit(gen), x, y, 255, i % 256, 40, 2.0f);
        else
            scene.segment(x, y, x + 0.2f * (unit(gen) - 0.5f), y + 0.2f * (unit(gen) - 0.5f),
                          i % 256, 200, 255 - i % 256, 2.0f);
    }
    // The default threshold takes this scene to the cells by itself.
    FrameImage expected(32, 32, 1.0f), image(32, 32, 1.0f);
    RandomStream refRandom, random;
    RayRenderer reference(&expected, refRandom, 1), renderer(&image, random, 2);
    ASSERT_TRUE(renderer.usesGrid(scene.list.size()));
    for (int frame = 0; frame < 2; ++frame) {
        Vec2 rc{0.1f, 0}, rx{1, 0}, ry{0, 1}, c = rc, x = rx, y = ry;
        reference.renderReference(scene.list, rc, rx, ry, 2.5f);
        renderer.render(scene.list, c, x, y, 2.5f);
        ASSERT_EQ(random.state(), refRandom.state()) << "frame " << frame;
        for (size_t i = 0; i < image.byteCount(); i += 4)
            ASSERT_EQ(std::memcmp(image.pixels.get() + i, expected.pixels.get() + i, 3), 0)
                << "frame " << frame << ", pixel " << i / 4;
    }
    EXPECT_GT(renderer.grid().columns() * renderer.grid().rows(), 1000);
}

// The lists at their largest: the shapes in view come last, with indices
// in the top bits the lists keep for a shape, beside the side marks.
TEST(LargeScene, ListsAtTheirLargest) {
    OwnedShapes scene;
    std::mt19937 gen(9);
    std::uniform_real_distribution<float> far(900.0f, 1100.0f), near(-1.0f, 1.0f),
        unit(0.0f, 1.0f);
    const int count = fast::kMostListedShapes;
    for (int i = 0; i < count; ++i) {
        if (i < count - 300) {
            scene.disc(0.5f, far(gen), far(gen), 10, 10, 10, 1.0f);
        } else if (i % 2) {
            scene.disc(0.02f + 0.08f * unit(gen), near(gen), near(gen), 250, i % 256, 40, 2.0f);
        } else {
            const float x = near(gen), y = near(gen);
            scene.segment(x, y, x + 0.3f * (unit(gen) - 0.5f), y + 0.3f * (unit(gen) - 0.5f),
                          i % 256, 200, 250, 2.0f);
        }
    }
    ASSERT_EQ(scene.list.size(), static_cast<size_t>(fast::kMostListedShapes));
    expectCellsAgree(scene, View{}, 32, 32, 51, "the largest lists");
}

// Stray shapes far from the rest (20 discs on one side, and a wall from
// the scene out to them) would stretch the cells until every other shape
// shared one: they are tested by every line instead, and the rest keep
// cells of their own size.
TEST(LargeScene, AFewStrayShapesFarAwayDoNotCrowdTheCells) {
    OwnedShapes scene;
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> pos(-1.5f, 1.5f), unit(0.0f, 1.0f);
    for (int i = 0; i < 3000; ++i) {
        const float x = pos(gen), y = pos(gen);
        if (i % 3)
            scene.segment(x, y, x + 0.05f * (unit(gen) - 0.5f), y + 0.05f * (unit(gen) - 0.5f),
                          i % 256, 120, 200, 2.0f);
        else
            scene.disc(0.005f + 0.01f * unit(gen), x, y, 250, i % 256, 60, 2.0f);
        if (i % 150 == 0) scene.disc(0.01f, 1e5f + i, 1e5f, 255, 255, 255, 1.0f);
    }
    scene.segment(0.1f, 0.1f, 1e5f, -1e5f, 255, 0, 0, 1.0f);
    expectCellsAgree(scene, View{}, 32, 32, 77, "strays");

    FrameImage image(64, 48, 1.0f);
    RandomStream random;
    RayRenderer renderer(&image, random, 1);
    renderer.useGridAbove(0);
    Vec2 c{0, 0}, x{1, 0}, y{0, 1};
    renderer.render(scene.list, c, x, y, 2.5f);
    EXPECT_EQ(renderer.grid().looseShapes(), 21u);
    // About 30; every shape a line, had the far discs set the cells' size.
    EXPECT_LT(renderer.lastLineTests(), 50 * renderer.lastLines());
}

// Discs that each cover the whole scene crowd every cell: a grid twice as
// fine would pass the cells' budget of entries (16 Mi), so the build counts
// it and goes back to the last that fitted.
TEST(LargeScene, CrowdedCellsRefineOnlyWithinTheirBudget) {
    OwnedShapes scene;
    std::mt19937 gen(3);
    std::uniform_real_distribution<float> near(-0.1f, 0.1f);
    for (int i = 0; i < 2500; ++i)
        scene.disc(1.0f + 0.001f * (i % 7), near(gen), near(gen), 40 + i % 200, 90, 200, 2.0f);
    FrameImage expected(16, 16, 1.0f);
    RandomStream refRandom;
    RayRenderer reference(&expected, refRandom, 1);
    Vec2 rc{0.3f, 0}, rx{1, 0}, ry{0, 1};
    reference.renderReference(scene.list, rc, rx, ry, 2.5f);
    for (int threads : {1, 3}) {
        FrameImage image(16, 16, 1.0f);
        RandomStream random;
        RayRenderer renderer(&image, random, threads);
        renderer.useGridAbove(0);
        Vec2 c{0.3f, 0}, x{1, 0}, y{0, 1};
        renderer.render(scene.list, c, x, y, 2.5f);
        EXPECT_LE(renderer.grid().entries(), size_t{1} << 24);
        EXPECT_GT(renderer.grid().entries(), size_t{1} << 22) << "crowded enough to refine";
        ASSERT_EQ(random.state(), refRandom.state());
        for (size_t i = 0; i < image.byteCount(); i += 4)
            ASSERT_EQ(std::memcmp(image.pixels.get() + i, expected.pixels.get() + i, 3), 0)
                << threads << " threads, pixel " << i / 4;
    }
}

// Past a few thousand shapes the lists stay only while they take at most
// 128 MiB (33 bytes a tile and shape); below that, at any picture size.
TEST(LargeScene, ManyShapesKeepTheListsWhileTheyFitTheirMemory) {
    auto usesGrid = [](int width, int height, size_t shapes) {
        FrameImage image(width, height, 1.0f);
        RandomStream random;
        RayRenderer renderer(&image, random, 1);
        return renderer.usesGrid(shapes);
    };
    // 32 x 24 tiles of 32 pixels: 128 MiB / (768 x 33 bytes) is 5,295.8.
    EXPECT_FALSE(usesGrid(1024, 768, 5295));
    EXPECT_TRUE(usesGrid(1024, 768, 5296));
    // 16 x 12 tiles: up to the most the lists take in any picture.
    EXPECT_FALSE(usesGrid(512, 384, RayRenderer::kGridAbove));
    EXPECT_TRUE(usesGrid(512, 384, RayRenderer::kGridAbove + 1));
    // 16,384 tiles: 2,048 shapes take 1.1 GB, as they always could.
    EXPECT_FALSE(usesGrid(4096, 4096, RayRenderer::kListsAtAnySize));
    EXPECT_TRUE(usesGrid(4096, 4096, RayRenderer::kListsAtAnySize + 1));
}

// Lists nearest first: a line of a maze stops at the walls around it, so
// fewer than half the shapes the lists hold are tested (about a third), on
// every row shader.
TEST(LargeScene, LinesStopAtTheirNearestHits) {
    OwnedShapes maze;
    std::mt19937 gen(31);
    std::uniform_int_distribution<int> coin(0, 1);
    const float size = 2.4f / 20;
    for (int i = 0; i <= 20; ++i)
        for (int j = 0; j < 20; ++j) {
            const float a = -1.2f + i * size, b = -1.2f + j * size;
            if (coin(gen)) maze.segment(a, b, a, b + size, 200, 180, 90, 3.0f);
            if (coin(gen)) maze.segment(b, a, b + size, a, 90, 180, 200, 3.0f);
        }
    ASSERT_GT(maze.list.size(), 300u);
    const int width = 128, height = 96;
    for (const fast::RowShaderTarget& t : fast::supportedRowShaders()) {
        FrameImage image(width, height, 1.0f);
        RandomStream random;
        RayRenderer renderer(&image, random, 1);
        renderer.useRowShader(t.shade);
        Vec2 c{0, 0}, x{1, 0}, y{0, 1};
        renderer.render(maze.list, c, x, y, 2.0f);
        // What the lists hold, counted as every line would test them.
        renderer.cull(maze.list, frameGeometry(width, height, 1.0f, renderer.tileSize(), {0, 0},
                                               {1, 0}, {0, 1}, 2.0f));
        const uint64_t tilePixels = uint64_t{1} << (2 * renderer.tileShift());
        uint64_t listed = 0, lines = 0;
        for (int ty = 0; ty < renderer.tilesY(); ++ty)
            for (int tx = 0; tx < renderer.tilesX(); ++tx)
                for (int k = 0; k < kSlotCount; ++k) {
                    const size_t n = renderer.candidates(tx, ty, k).size();
                    listed += n * tilePixels;
                    lines += n != 0 ? tilePixels : 0;
                }
        ASSERT_EQ(renderer.lastLines(), lines) << t.name;
        EXPECT_LT(renderer.lastLineTests() * 2, listed) << t.name;
    }
}

}  // namespace
}  // namespace lumek
