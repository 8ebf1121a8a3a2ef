// The benchmark's known-good hashes against the renderers themselves, and
// what happens when a frame comes out wrong.
#include "bench/verify.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bench/rounds.h"
#include "render/targets.h"
#include "shots/shots.h"

namespace lumek {
namespace {

// The hashes of the benchmark's frames in a fresh process, rendered by the
// straightforward renderer or by a row shader on some threads.
std::vector<uint64_t> benchHashes(const fast::RowShaderTarget* shader, int threads) {
    SceneLibrary library;
    buildSceneLibrary(library);
    FrameImage image(kBenchImageSize, kBenchImageSize, kBenchAspect);
    RandomStream random;
    random.advance(kWalkSteps);
    RayRenderer renderer(&image, random, threads);
    if (shader) renderer.useRowShader(shader->shade);
    std::vector<uint64_t> hashes;
    for (int index = 0; index < kBenchFrames; ++index) {
        const BenchFrame frame = benchFrame(index);
        if (shader) {
            renderShot(frame.row, library, renderer);
        } else {
            poseShot(frame.row, library);
            const ShotRow& shot = shotRow(frame.row);
            Vec2 c = shot.viewCentre, x{1, 0}, y{0, 1};
            renderer.renderReference(library[shot.list], c, x, y, shot.viewHeight);
        }
        hashes.push_back(frameHash(image));
    }
    deleteSceneShapes(library);
    return hashes;
}

std::string asTable(const std::vector<uint64_t>& hashes) {
    std::ostringstream out;
    for (uint64_t h : hashes) out << "    0x" << hashHex(h) << "ull,\n";
    return out.str();
}

TEST(BenchHashes, AreTheStraightforwardRenderersOnEveryRowShader) {
    const std::vector<uint64_t> reference = benchHashes(nullptr, 1);
    std::vector<uint64_t> pinned;
    for (int i = 0; i < kBenchFrames; ++i) pinned.push_back(expectedFrameHash(i));
    ASSERT_EQ(pinned, reference) << "the straightforward renderer gives:\n" << asTable(reference);
    for (const fast::RowShaderTarget& shader : fast::supportedRowShaders())
        for (int threads : {1, 3})
            EXPECT_EQ(benchHashes(&shader, threads), pinned) << shader.name << " on " << threads;
}

TEST(BenchHashes, FramesAreNumberedAsTheBenchmarkRendersThem) {
    EXPECT_EQ(benchFrame(0).row, 8);  // the warm-up
    std::vector<int> rows;
    for (int i = 1; i < kBenchFrames; ++i) {
        EXPECT_EQ(benchFrame(i).repetition, (i - 1) % 4 + 1);
        rows.push_back(benchFrame(i).row);
    }
    EXPECT_EQ(rows, (std::vector<int>{1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4,
                                      5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7, 8, 8, 8, 8}));
}

}  // namespace
}  // namespace lumek
