// The benchmark of a scene file: its frames rendered once to learn their
// hashes, then again and again on one thread and on every thread, each
// frame checked against its first render; the figures appended to the
// result record, named by the scene's SHA-256, and compared only with
// earlier runs of the same scene. "bench.txt" is the built-in benchmark's
// alone and is not written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bench/bench.h"
#include "bench/result.h"
#include "scenes/scene_file.h"
#include "util/switches.h"

namespace lumek {

// Frames of a round: the animation's frames spread evenly over its length
// (a still scene's frames differ in their jitter alone).
constexpr int kSceneBenchFrames = 32;

// The animation frame that a round's frame `index` (0 .. 31) renders.
int64_t sceneBenchFrame(const SceneDocument& scene, int index);

// The workload: XXH3 over the scene's SHA-256 text, the 32 frames' hashes
// of the first pass (little-endian), width, height and frame count.
uint64_t sceneWorkloadId(const SceneWorkload& workload, const std::vector<uint64_t>& hashes);

// Runs it at --size or the built-in benchmark's 128 x 128, with square
// pixels. `env` as for BenchmarkRun (its reportPath is not used). Returns
// 0; 1 when the record could not be written or threads were refused; 2
// when a frame differed from its first render.
int SceneBenchmarkRun(const SceneDocument& scene, bool json,
                      const std::optional<switches::PictureSize>& size, BenchEnvironment& env);

}  // namespace lumek
