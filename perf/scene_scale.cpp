// How a frame's cost grows with its shapes: generated scenes of 10 to
// 1,000,000 shapes, rendered at 1024 x 768 on one thread, milliseconds per
// frame and shape tests per line (a line: one pixel's jittered line in one
// slot that has candidates).
//
//   build/perf/lumek_scene_scale --benchmark_filter='SceneScale/1000/'
//   build/perf/lumek_scene_scale --benchmark_repetitions=3 --benchmark_counters_tabular=true
//
// Kinds: 0 random short segments and small discs spread over the view,
// 1 a maze of walls, 2 a few large discs among many small ones, 3 long
// segments that cross the whole view. SceneScaleWay renders through the
// per-tile lists (cells:0) or through the cells (cells:1) whatever the
// size, to place the threshold between the two ways.
//
// The file builds against older renderers too (without the cells), so that
// one source measures before and after.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "render/owned_shapes.h"
#include "render/renderer.h"

namespace lumek {
namespace {

constexpr int kWidth = 1024, kHeight = 768;
constexpr float kViewHeight = 2.0f;  // the view: x in -1.33 ... 1.33, y in -1 ... 1


std::unique_ptr<OwnedShapes> makeScene(int count, int kind) {
    auto scene = std::make_unique<OwnedShapes>();
    std::mt19937 gen(12345u + static_cast<unsigned>(count) * 7u + static_cast<unsigned>(kind));
    std::uniform_real_distribution<float> x(-1.4f, 1.4f), y(-1.05f, 1.05f), unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> colour(40, 255);
    auto falloff = [&] { return 1.0f + 4.0f * unit(gen); };
    switch (kind) {
        case 0:
            for (int i = 0; i < count; ++i) {
                const float cx = x(gen), cy = y(gen);
                if (i % 4 == 3) {
                    scene->disc(0.003f + 0.01f * unit(gen), cx, cy, colour(gen), colour(gen),
                                colour(gen), falloff());
                } else {
                    const float a = unit(gen) * 6.2831853f, half = 0.005f + 0.02f * unit(gen);
                    scene->segment(cx - half * std::cos(a), cy - half * std::sin(a),
                                   cx + half * std::cos(a), cy + half * std::sin(a), colour(gen),
                                   colour(gen), colour(gen), falloff());
                }
            }
            break;
        case 1: {
            // Walls on the edges of a square grid, a random half of them.
            const int m = std::max(1, static_cast<int>(std::ceil(std::sqrt(count))));
            const float step = 2.1f / m, left = -1.05f * 4 / 3, top = -1.05f;
            const float stepX = step * 4 / 3;
            struct Wall {
                float x0, y0, x1, y1;
            };
            std::vector<Wall> walls;
            for (int i = 0; i <= m; ++i)
                for (int j = 0; j < m; ++j) {
                    walls.push_back({left + i * stepX, top + j * step, left + i * stepX,
                                     top + (j + 1) * step});
                    walls.push_back({left + j * stepX, top + i * step, left + (j + 1) * stepX,
                                     top + i * step});
                }
            std::shuffle(walls.begin(), walls.end(), gen);
            for (int i = 0; i < count; ++i) {
                const Wall& w = walls[static_cast<size_t>(i) % walls.size()];
                scene->segment(w.x0, w.y0, w.x1, w.y1, colour(gen), colour(gen), colour(gen),
                               falloff());
            }
            break;
        }
        case 2:
            for (int i = 0; i < count; ++i) {
                const bool large = i % std::max(1, count / 5) == 0;
                scene->disc(large ? 0.15f + 0.2f * unit(gen) : 0.002f + 0.008f * unit(gen), x(gen),
                            y(gen), colour(gen), colour(gen), colour(gen), falloff());
            }
            break;
        default:
            for (int i = 0; i < count; ++i) {
                const float a = unit(gen) * 6.2831853f, px = x(gen), py = y(gen);
                const float dx = 2.5f * std::cos(a), dy = 2.5f * std::sin(a);
                scene->segment(px - dx, py - dy, px + dx, py + dy, colour(gen), colour(gen),
                               colour(gen), falloff());
            }
            break;
    }
    return scene;
}

enum Way { kChosen, kLists, kCells };

// The way the renderer takes, where this build has a choice.
template <class R>
void chooseWay(R& r, Way way) {
    if constexpr (requires { r.useGridAbove(size_t{0}, size_t{0}); }) {
        // Lists whatever memory they take.
        if (way == kLists) r.useGridAbove(65535, SIZE_MAX);
        if (way == kCells) r.useGridAbove(0);
    } else if constexpr (requires { r.useGridAbove(size_t{0}); }) {
        if (way == kLists) r.useGridAbove(65535);
        if (way == kCells) r.useGridAbove(0);
    }
}

// Whether the renderer counts the lists' tests too.
template <class S>
constexpr bool kCountsListTests = requires(S s) {
    s.lineTests;
};

// Shape tests per line of the last frame: as the renderer counted them
// where it does (the cells always; the lists since they stop at a line's
// nearest hits), else the per-tile lists' sizes (every candidate of a list
// is tested once per line, a list of one too), from the straightforward
// culling.
template <class R>
double testsPerLine(R& r, const ShapeList& shapes) {
    if constexpr (requires { r.lastLineTests(); }) {
        if (kCountsListTests<fast::RowScratch> || r.usesGrid(shapes.size()))
            return r.lastLines() ? double(r.lastLineTests()) / double(r.lastLines()) : 0.0;
    }
    if (shapes.size() > 20000) return -1;  // too slow to count this way
    Vec2 c{0, 0}, ax{1, 0}, ay{0, 1};
    const FrameGeometry g =
        frameGeometry(kWidth, kHeight, 1.0f, r.tileSize(), c, ax, ay, kViewHeight);
    r.cull(shapes, g);
    const double tilePixels = double(1 << r.tileShift()) * double(1 << r.tileShift());
    double tests = 0, lines = 0;
    for (int ty = 0; ty < r.tilesY(); ++ty)
        for (int tx = 0; tx < r.tilesX(); ++tx)
            for (int k = 0; k < kSlotCount; ++k) {
                const size_t n = r.candidates(tx, ty, k).size();
                tests += double(n) * tilePixels;
                lines += n != 0 ? tilePixels : 0;
            }
    return lines != 0 ? tests / lines : 0.0;
}

// Which way the frame took (1 the cells), where this build has a choice.
template <class R>
void countWay(benchmark::State& state, R& r, size_t shapes) {
    if constexpr (requires { r.usesGrid(shapes); }) state.counters["cells"] = r.usesGrid(shapes);
}

void sceneFrames(benchmark::State& state, Way way) {
    const int count = static_cast<int>(state.range(0));
    const int kind = static_cast<int>(state.range(1));
    const std::unique_ptr<OwnedShapes> scene = makeScene(count, kind);
    FrameImage image(kWidth, kHeight, 1.0f);
    RandomStream random;
    RayRenderer renderer(&image, random, 1);
    chooseWay(renderer, way);
    for (auto _ : state) {
        Vec2 c{0, 0}, ax{1, 0}, ay{0, 1};
        renderer.render(scene->list, c, ax, ay, kViewHeight);
        benchmark::DoNotOptimize(image.pixels[0]);
    }
    state.counters["tests_per_line"] = testsPerLine(renderer, scene->list);
    state.counters["shapes"] = count;
    countWay(state, renderer, scene->list.size());
}

void BM_SceneScale(benchmark::State& state) { sceneFrames(state, kChosen); }
BENCHMARK(BM_SceneScale)
    ->ArgsProduct({{10, 100, 1000, 4000, 16000, 100000, 1000000}, {0, 1, 2, 3}})
    ->ArgNames({"", "kind"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_SceneScaleWay(benchmark::State& state) {
    sceneFrames(state, state.range(2) == 0 ? kLists : kCells);
}
BENCHMARK(BM_SceneScaleWay)
    ->ArgsProduct({{32, 64, 128, 256, 512, 1024, 4096, 8192}, {0, 1, 2, 3}, {0, 1}})
    ->ArgNames({"", "kind", "cells"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
}  // namespace lumek

BENCHMARK_MAIN();
