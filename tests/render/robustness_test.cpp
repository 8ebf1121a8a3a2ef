// The renderer for any caller: threads that cannot start, images that are
// not made of whole tiles, and colours, falloffs and coordinates far beyond
// the shipped scenes, on which every row shader must still agree with the
// straightforward renderer byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "os/threads.h"
#include "render/owned_shapes.h"
#include "render/renderer.h"
#include "render/targets.h"
#include "render/worker_pool.h"
#include "scenes/library.h"
#include "shots/shots.h"

namespace lumek {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(WorkerPool, AThreadThatCannotStartLeavesThePoolWithTheOthers) {
    for (int k : {1, 2, 3}) {
        os::ThreadGroup::failStartForTests(k);
        {
            WorkerPool pool(4);
            EXPECT_EQ(pool.size(), k) << "helpers before the failed one, and the caller";
            std::vector<int> ran(4, 0);
            pool.run([](void* c, int w) { ++static_cast<std::vector<int>*>(c)->at(w); }, &ran);
            for (int w = 0; w < 4; ++w) EXPECT_EQ(ran[w], w < k ? 1 : 0) << w;
        }  // shuts down cleanly: the test would hang otherwise
        os::ThreadGroup::failStartForTests(0);
    }
}

TEST(WorkerPool, ARendererWithFewerThreadsRendersTheSameBytes) {
    SceneLibrary lib;
    buildSceneLibrary(lib);
    FrameImage full(256, 256, 1.333f), reduced(256, 256, 1.333f);
    RandomStream a, b;
    RayRenderer all(&full, a, 4);
    os::ThreadGroup::failStartForTests(2);
    RayRenderer fewer(&reduced, b, 4);
    os::ThreadGroup::failStartForTests(0);
    EXPECT_EQ(all.threads(), 4);
    EXPECT_EQ(fewer.threads(), 2);
    for (int row = 1; row <= kShotCount; ++row) {
        renderShot(row, lib, all);
        renderShot(row, lib, fewer);
        ASSERT_EQ(std::memcmp(full.pixels.get(), reduced.pixels.get(), full.byteCount()), 0) << row;
    }
    EXPECT_EQ(a.state(), b.state());
    deleteSceneShapes(lib);
}

TEST(RendererSetup, RejectsImagesThatAreNotMadeOfWholeTiles) {
    RandomStream random;
    const int bad[][2] = {{36, 32}, {32, 36}, {0, 8},    {8, 0},
                          {4, 8},   {8, -8},  {144, 40}, {288, 48}};
    for (const auto& size : bad) {
        FrameImage image(size[0] > 0 ? size[0] : 1, size[1] > 0 ? size[1] : 1, 1.0f);
        FrameImage sized(size[0], std::max(size[1], 0), 1.0f);
        EXPECT_THROW(RayRenderer(&sized, random, 2), std::invalid_argument)
            << size[0] << " x " << size[1];
    }
    for (const auto& size : {std::pair{8, 8}, {64, 24}, {144, 48}, {288, 64}, {1024, 768}}) {
        FrameImage image(size.first, size.second, 1.0f);
        EXPECT_NO_THROW(RayRenderer(&image, random, 2)) << size.first << " x " << size.second;
    }
}

TEST(Attenuate, IsDefinedForEveryColourFalloffAndDistance) {
    CircleShape c;
    Rgb out;
    // Products beyond 32 bits are exact.
    c.setColor(100000, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min());
    c.setFalloff(0.0f);
    c.attenuate(1.0f, out);
    EXPECT_EQ(out.r, 100000);
    EXPECT_EQ(out.g, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(out.b, std::numeric_limits<int32_t>::min());
    c.setFalloff(1.0f);
    c.attenuate(1.0f, out);  // weight 32768: half, rounded towards minus infinity
    EXPECT_EQ(out.r, 50000);
    EXPECT_EQ(out.g, 1073741823);
    EXPECT_EQ(out.b, -1073741824);

    // The weight stays within 0 ... 65536.
    c.setColor(1000, 1000, 1000);
    c.setFalloff(-0.5f);
    c.attenuate(1.0f, out);  // 65536 / 0.5: capped
    EXPECT_EQ(out.r, 1000);
    c.attenuate(4.0f, out);  // 65536 / -1: nothing
    EXPECT_EQ(out.r, 0);
    c.attenuate(2.0f, out);  // 65536 / 0 = infinity: capped
    EXPECT_EQ(out.r, 1000);
    // Not a number counts as nothing.
    c.attenuate(kNaN, out);
    EXPECT_EQ(out.r, 0);
    c.setFalloff(0.0f);
    c.attenuate(kInf, out);  // 0 x infinity
    EXPECT_EQ(out.r, 0);
    c.setFalloff(kNaN);
    c.attenuate(0.0f, out);
    EXPECT_EQ(out.r, 0);
}


// Renders with the straightforward renderer and with every row shader on
// 1 and 3 threads, with 8-pixel tiles and with 16-pixel ones (the widest
// shaders take the narrow tiles to a narrower shader); returns the first
// difference, if any.
void expectEveryRowShaderAgrees(const ShapeList& shapes, const char* what) {
    for (const auto& [width, height] : {std::pair{64, 64}, std::pair{160, 48}}) {
        FrameImage expected(width, height, 1.333f);
        RandomStream refRandom;
        RayRenderer reference(&expected, refRandom, 1);
        Vec2 c{0, 0}, x{1, 0}, y{0, 1};
        reference.renderReference(shapes, c, x, y, 2.0f);
        for (const fast::RowShaderTarget& t : fast::supportedRowShaders())
            for (int threads : {1, 3}) {
                FrameImage image(width, height, 1.333f);
                RandomStream random;
                RayRenderer renderer(&image, random, threads);
                renderer.useRowShader(t.shade);
                Vec2 c2{0, 0}, x2{1, 0}, y2{0, 1};
                renderer.render(shapes, c2, x2, y2, 2.0f);
                EXPECT_EQ(random.state(), refRandom.state()) << what << " " << t.name;
                size_t differing = 0;
                for (size_t i = 0; i < image.byteCount(); ++i)
                    differing += image.pixels[i] != expected.pixels[i];
                EXPECT_EQ(differing, 0u)
                    << what << ": " << t.name << " on " << threads << ", " << width << " wide";
            }
    }
}

TEST(FastRender, AgreesBeyondTheShippedColoursAndFalloffs) {
    OwnedShapes bright;
    bright.disc(0.3f, 0.2f, 0.1f, 100000, 40000, -70000, 0.5f);
    bright.segment(-0.8f, -0.5f, 0.7f, 0.4f, std::numeric_limits<int32_t>::max(),
                   std::numeric_limits<int32_t>::min(), 255, 3.0f);
    expectEveryRowShaderAgrees(bright.list, "colours beyond 32-bit products");

    OwnedShapes negative;
    negative.disc(0.25f, -0.3f, 0.0f, 240, 120, 60, -2.0f);
    negative.segment(0.1f, -0.6f, 0.2f, 0.6f, 200, 100, 50, -0.7f);
    negative.disc(0.1f, 0.5f, 0.5f, 80, 80, 80, -1e30f);
    expectEveryRowShaderAgrees(negative.list, "negative falloffs");

    // The widest shader sums in 32-bit integers while every channel lies in
    // -32768 ... 32767, and in doubles once one does not: both sides of that
    // edge, with zero falloffs for whole weights of 65536.
    for (int32_t outside : {32767, 32768, -32768, -32769}) {
        OwnedShapes edge;
        edge.disc(0.3f, 0.2f, 0.1f, -32768, 32767, -1, 0.0f);
        edge.segment(-0.8f, -0.5f, 0.7f, 0.4f, 32767, -32768, 255, 0.0f);
        edge.disc(0.15f, -0.4f, 0.3f, 12345, -23456, outside, 2.5f);
        edge.segment(-0.2f, 0.7f, 0.6f, 0.7f, -7, outside, 32000, 1.0f);
        const std::string what = "colours up to " + std::to_string(outside);
        expectEveryRowShaderAgrees(edge.list, what.c_str());
    }
}

// The lane-mask shaders keep each side's nearest hit as one number that
// holds the distance and the shape: ties must still go to the earlier shape,
// and hits at 1,000,000 or beyond must not count when a line has several
// candidates (a single candidate has no limit).
TEST(FastRender, AgreesWhereHitsTieOrLieBeyondTheLimit) {
    OwnedShapes ties;
    for (int copy = 0; copy < 2; ++copy) {
        ties.disc(0.3f, 0.2f, 0.1f, 200 - 100 * copy, 40 + 100 * copy, 90, 1.0f + copy);
        ties.segment(-0.8f, -0.5f, 0.7f, 0.4f, 30 + 150 * copy, 220 - 150 * copy, 60, 2.0f - copy);
    }
    ties.segment(0.7f, 0.4f, -0.8f, -0.5f, 10, 10, 250, 0.5f);
    expectEveryRowShaderAgrees(ties.list, "shapes at the same distance");

    OwnedShapes far;
    far.disc(2.0e5f, 1.0e6f, 0.0f, 250, 200, 0, 0.0f);
    far.disc(3.0e5f, -1.1e6f, 0.1f, 0, 200, 250, 0.0f);
    far.segment(0.9e6f, -1.0e6f, 1.1e6f, 1.0e6f, 120, 0, 120, 0.0f);
    far.disc(0.2f, 0.1f, -0.2f, 90, 90, 90, 3.0f);
    expectEveryRowShaderAgrees(far.list, "hits around 1,000,000");
}

TEST(FastRender, AgreesForInfiniteAndUndefinedCoordinates) {
    OwnedShapes nanDisc;
    nanDisc.disc(0.3f, kNaN, 0.1f, 200, 100, 50, 1.0f);
    nanDisc.disc(0.2f, 0.3f, 0.3f, 50, 100, 200, 1.0f);
    expectEveryRowShaderAgrees(nanDisc.list, "a disc at no number");

    OwnedShapes infiniteStart;
    infiniteStart.segment(kInf, 0.2f, 0.3f, -0.2f, 180, 90, 40, 0.5f);
    infiniteStart.segment(-0.5f, -kInf, -0.4f, 0.3f, 40, 90, 180, 0.5f);
    infiniteStart.disc(0.1f, 0.0f, 0.0f, 90, 90, 90, 2.0f);
    expectEveryRowShaderAgrees(infiniteStart.list, "segments starting at infinity");

    OwnedShapes infiniteDisc;
    infiniteDisc.disc(kInf, 0.0f, 0.0f, 100, 100, 100, 1.0f);
    infiniteDisc.disc(0.2f, kInf, -kInf, 100, 0, 0, 1.0f);
    expectEveryRowShaderAgrees(infiniteDisc.list, "infinite discs");
}

}  // namespace
}  // namespace lumek
