// Renderer speed: the reference pass against the fast one on one thread and
// on every hardware thread, for the three kinds of frames the program makes.
//
//   build/perf/lumek_perf --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "os/system.h"
#include "render/renderer.h"
#include "render/targets.h"
#include "scenes/library.h"
#include "scenes/timeline.h"
#include "shots/shots.h"

namespace lumek {
namespace {

int allThreads() { return os::usableProcessors(); }

enum Variant { kReference = 0, kFastOneThread = 1, kFastAllThreads = 2 };

const char* variantName(int v) {
    return v == kReference ? "reference" : v == kFastOneThread ? "fast/1" : "fast/all";
}

struct Scene {
    Scene() { buildSceneLibrary(library); }
    ~Scene() { deleteSceneShapes(library); }
    SceneLibrary library;
};

struct View {
    int list;
    Vec2 centre, axisX, axisY;
    float height;
};

void renderView(RayRenderer& r, const ShapeList& shapes, const View& v, bool reference) {
    Vec2 c = v.centre, ax = v.axisX, ay = v.axisY;
    if (reference)
        r.renderReference(shapes, c, ax, ay, v.height);
    else
        r.render(shapes, c, ax, ay, v.height);
}

void runFrames(benchmark::State& state, int width, int height, float aspect, int variant,
               const std::function<View(SceneLibrary&)>& pose) {
    Scene scene;
    FrameImage image(width, height, aspect);
    RandomStream random;
    RayRenderer renderer(&image, random, variant == kFastAllThreads ? allThreads() : 1);
    const View view = pose(scene.library);
    for (auto _ : state) {
        renderView(renderer, scene.library[view.list], view, variant == kReference);
        benchmark::DoNotOptimize(image.pixels[0]);
    }
    state.counters["threads"] = renderer.threads();
    state.SetLabel(variantName(variant));
}

View shotView(SceneLibrary& lib, int row) {
    poseShot(row, lib);
    const ShotRow& s = shotRow(row);
    return {s.list, s.viewCentre, {1, 0}, {0, 1}, s.viewHeight};
}

// The show at time t, caught up from the start so every pose is in place.
View showView(SceneLibrary& lib, uint32_t t) {
    TimelineState timeline;
    View v{};
    for (int i = 0; i < 30; ++i)
        stepTimeline(timeline, lib, t, v.centre, v.axisX, v.axisY, v.height);
    for (int i = 0; i < kSceneCount; ++i)
        if (timeline.currentShapes == &lib[i]) v.list = i;
    return v;
}

void BM_Shot(benchmark::State& state) {
    const int row = static_cast<int>(state.range(0));
    runFrames(state, kShotWidth, kShotHeight, 1.0f, static_cast<int>(state.range(1)),
              [row](SceneLibrary& lib) { return shotView(lib, row); });
}
BENCHMARK(BM_Shot)
    ->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 8}, {kReference, kFastOneThread, kFastAllThreads}})
    ->ArgNames({"row", "variant"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ShowFrame512(benchmark::State& state) {
    const uint32_t t = static_cast<uint32_t>(state.range(0));
    runFrames(state, 512, 512, 1.333f, static_cast<int>(state.range(1)),
              [t](SceneLibrary& lib) { return showView(lib, t); });
}
BENCHMARK(BM_ShowFrame512)
    ->ArgsProduct({{20000, 40000, 80000, 150000, 210000, 250000, 290000},
                   {kReference, kFastOneThread, kFastAllThreads}})
    ->ArgNames({"ms", "variant"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BenchFrame128(benchmark::State& state) {
    const int row = static_cast<int>(state.range(0));
    runFrames(state, 128, 128, 1.333f, static_cast<int>(state.range(1)),
              [row](SceneLibrary& lib) { return shotView(lib, row); });
}
BENCHMARK(BM_BenchFrame128)
    ->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 8}, {kReference, kFastOneThread, kFastAllThreads}})
    ->ArgNames({"row", "variant"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// Shape tests a frame makes: every pixel tests each candidate of each of
// its tile's slots once (the last frame the reference renderer culled).
double candidateTests(RayRenderer& r, int width, int height) {
    const int tile = 1 << r.tileShift();
    double tests = 0;
    for (int ty = 0; ty < r.tilesY(); ++ty)
        for (int tx = 0; tx < r.tilesX(); ++tx) {
            const int w = std::min(tile, width - tx * tile), h = std::min(tile, height - ty * tile);
            size_t perPixel = 0;
            for (int k = 0; k < kSlotCount; ++k) perPixel += r.candidates(tx, ty, k).size();
            tests += double(perPixel) * w * h;
        }
    return tests;
}

// Ratios in one go: every iteration renders the same frame with the
// reference, the fast path on one thread and on all threads, one after the
// other, so a machine whose speed drifts during the run still gives fair
// ratios. Counters: milliseconds per frame and speed-ups.
void runSpeedup(benchmark::State& state, int width, int height, float aspect,
                const std::function<View(SceneLibrary&)>& pose) {
    Scene scene;
    FrameImage image(width, height, aspect);
    RandomStream random;
    RayRenderer reference(&image, random, 1), one(&image, random, 1),
        all(&image, random, allThreads());
    const View view = pose(scene.library);
    const ShapeList& shapes = scene.library[view.list];
    double refSeconds = 0, oneSeconds = 0, allSeconds = 0;
    auto timed = [&](RayRenderer& r, bool ref) {
        const auto start = std::chrono::steady_clock::now();
        renderView(r, shapes, view, ref);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (auto _ : state) {
        refSeconds += timed(reference, true);
        oneSeconds += timed(one, false);
        allSeconds += timed(all, false);
    }
    const double n = static_cast<double>(state.iterations());
    const double tests = candidateTests(reference, width, height);
    state.counters["Mtests"] = tests / 1e6;
    state.counters["ns_test1"] = 1e9 * oneSeconds / n / tests;
    state.counters["ref_ms"] = 1000 * refSeconds / n;
    state.counters["fast1_ms"] = 1000 * oneSeconds / n;
    state.counters["fastAll_ms"] = 1000 * allSeconds / n;
    state.counters["x1"] = refSeconds / oneSeconds;
    state.counters["xAll"] = refSeconds / allSeconds;
    state.counters["threads"] = all.threads();
}

void BM_ShotSpeedup(benchmark::State& state) {
    const int row = static_cast<int>(state.range(0));
    runSpeedup(state, kShotWidth, kShotHeight, 1.0f,
               [row](SceneLibrary& lib) { return shotView(lib, row); });
}
BENCHMARK(BM_ShotSpeedup)
    ->DenseRange(1, 8)
    ->ArgName("row")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

void BM_ShowFrame512Speedup(benchmark::State& state) {
    const uint32_t t = static_cast<uint32_t>(state.range(0));
    runSpeedup(state, 512, 512, 1.333f, [t](SceneLibrary& lib) { return showView(lib, t); });
}
BENCHMARK(BM_ShowFrame512Speedup)
    ->Arg(20000)
    ->Arg(40000)
    ->Arg(80000)
    ->Arg(150000)
    ->Arg(210000)
    ->Arg(250000)
    ->Arg(290000)
    ->ArgName("ms")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(1.0);

void BM_BenchFrame128Speedup(benchmark::State& state) {
    const int row = static_cast<int>(state.range(0));
    runSpeedup(state, 128, 128, 1.333f, [row](SceneLibrary& lib) { return shotView(lib, row); });
}
BENCHMARK(BM_BenchFrame128Speedup)
    ->DenseRange(1, 8)
    ->ArgName("row")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MinTime(0.5);

// Pass 1 alone on the screenshot image (reference, then spread over all threads).
void BM_CullShot(benchmark::State& state) {
    const int row = static_cast<int>(state.range(0));
    const bool fastPath = state.range(1) != 0;
    Scene scene;
    FrameImage image(kShotWidth, kShotHeight, 1.0f);
    RandomStream random;
    RayRenderer renderer(&image, random, fastPath ? allThreads() : 1);
    const View v = shotView(scene.library, row);
    const FrameGeometry g = frameGeometry(kShotWidth, kShotHeight, 1.0f, renderer.tileSize(),
                                          v.centre, v.axisX, v.axisY, v.height);
    for (auto _ : state) {
        if (fastPath)
            renderer.cullFast(scene.library[v.list], g);
        else
            renderer.cull(scene.library[v.list], g);
    }
    state.SetLabel(fastPath ? "fast/all" : "reference");
}
BENCHMARK(BM_CullShot)
    ->ArgsProduct({{1, 8}, {0, 1}})
    ->ArgNames({"row", "fast"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// Each row shader on one thread, the eight screenshot views in turn, and
// its time against the widest shader this processor runs: every iteration
// renders the views with both, one after the other, so that a machine whose
// speed drifts still gives a fair ratio (x_widest). The time shown is the
// shader's own.
//
//   build/perf/lumek_perf --benchmark_filter=RowShader
void rowShaderFrames(benchmark::State& state, fast::RowShader shader, fast::RowShader widest) {
    Scene scene;
    FrameImage image(kShotWidth, kShotHeight, 1.0f);
    RandomStream random;
    RayRenderer renderer(&image, random, 1);
    std::vector<View> views;
    for (int row = 1; row <= kShotCount; ++row) views.push_back(shotView(scene.library, row));
    auto timed = [&](fast::RowShader s) {
        renderer.useRowShader(s);
        const auto start = std::chrono::steady_clock::now();
        for (const View& v : views) {
            renderView(renderer, scene.library[v.list], v, false);
            benchmark::DoNotOptimize(image.pixels[0]);
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double own = 0, wide = 0;
    for (auto _ : state) {
        const double seconds = timed(shader);
        state.SetIterationTime(seconds);
        own += seconds;
        wide += shader == widest ? seconds : timed(widest);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["widest_ms"] = 1000 * wide / n;
    state.counters["x_widest"] = own / wide;
}

const bool rowShadersRegistered = [] {
    const fast::RowShader widest = fast::bestRowShader();
    for (const fast::RowShaderTarget& t : fast::supportedRowShaders())
        benchmark::RegisterBenchmark((std::string("BM_RowShader/") + t.name).c_str(),
                                     rowShaderFrames, t.shade, widest)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->MinTime(2.0);
    return true;
}();

}  // namespace
}  // namespace lumek

BENCHMARK_MAIN();
