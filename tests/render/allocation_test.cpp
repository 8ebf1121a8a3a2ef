// A renderer grown for a scene size draws its frames without allocating:
// the show counts on it once it runs. Its own program, because it counts
// every allocation the process makes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "render/owned_shapes.h"
#include "render/renderer.h"

namespace {
std::atomic<uint64_t> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace lumek {
namespace {

TEST(RendererMemory, FramesAllocateNothingOnceGrownForTheScene) {
    // Scene orders and lists nearest first, up to the largest listed size.
    OwnedShapes scenes[3];
    const int sizes[3] = {64, 65, static_cast<int>(RayRenderer::kGridAbove)};
    for (int s = 0; s < 3; ++s)
        for (int i = 0; i < sizes[s]; ++i)
            scenes[s].disc(0.01f, -1.2f + 2.4f * (i % 50) / 50, -0.9f + 1.8f * (i / 50) / 41.0f,
                           200, 100, 50, 1.0f);
    FrameImage image(256, 192, 1.0f);
    RandomStream random;
    RayRenderer renderer(&image, random, 2);
    renderer.prepareFor(RayRenderer::kGridAbove);
    for (int round = 0; round < 2; ++round)
        for (int s : {1, 0, 2, 1}) {
            const uint64_t before = allocations.load();
            Vec2 c{0, 0}, x{1, 0}, y{0, 1};
            renderer.render(scenes[s].list, c, x, y, 2.0f);
            EXPECT_EQ(allocations.load() - before, 0u) << sizes[s] << " shapes, round " << round;
        }
    // A band of the largest takes the cells.
    const uint64_t before = allocations.load();
    Vec2 c{0, 0}, x{1, 0}, y{0, 1};
    renderer.renderRows(scenes[2].list, c, x, y, 2.0f, 32, 96);
    EXPECT_GT(renderer.grid().columns(), 0);
    EXPECT_EQ(allocations.load() - before, 0u) << "a band";
}

TEST(RendererMemory, TheCellsOfLargeScenesAllocateNothingOnceGrown) {
    // From the first frame on: long segments fill many cells, short ones
    // few, and a shape far off stretches the grid.
    OwnedShapes scenes[2];
    for (int i = 0; i < 3000; ++i) {
        const float x = -1.3f + 2.6f * static_cast<float>(i % 60) / 60, y = -1.0f + (i / 60) / 25.0f;
        scenes[0].segment(x, y, x + 0.02f, y + 0.01f, 100, 200, 50, 1.0f);
        scenes[1].segment(x, y, -x, 0.5f - y, 100, 200, 50, 1.0f);
    }
    scenes[1].disc(1.0f, 400.0f, -300.0f, 50, 50, 250, 1.0f);
    FrameImage image(64, 48, 1.0f);
    RandomStream random;
    RayRenderer renderer(&image, random, 2);
    renderer.useGridAbove(2048);
    ASSERT_TRUE(renderer.usesGrid(scenes[1].list.size()));
    renderer.prepareFor(scenes[1].list.size());
    for (int s : {0, 1, 0}) {
        const uint64_t before = allocations.load();
        Vec2 c{0, 0}, x{1, 0}, y{0, 1};
        renderer.render(scenes[s].list, c, x, y, 2.0f);
        EXPECT_EQ(allocations.load() - before, 0u) << "scene " << s;
    }
}

}  // namespace
}  // namespace lumek
