// The benchmark's measured part, as the report entry rates it: the timed
// processor walk, the untimed warm-up and the 32 timed frames at 128 x 128
// on one thread, every frame checked. Needs no threads and no files, so
// the web page runs it too.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bench/verify.h"
#include "render/random.h"
#include "render/renderer.h"
#include "scenes/library.h"

namespace lumek {

constexpr uint32_t kWalkSteps = 5000000;
constexpr int kFramesPerRow = 4;
constexpr int kBenchImageSize = 128;
constexpr float kBenchAspect = 1.333f;

// A monotonic millisecond counter read as a wrapping 32-bit value.
uint32_t steadyClockMs();

// The processor workload: `steps` steps of a pseudo-random walk, each
// drawing one value from `random`.
void runCpuWalk(RandomStream& random, uint32_t steps);

struct EntryFigures {
    uint32_t cpuMs = 0;
    uint32_t renderMs = 0;
    int wrongFrames = 0;      // of the 33
    uint32_t startState = 0;  // the generator before the first timed frame
};

struct EntryRun {
    SceneLibrary& library;  // built
    RayRenderer& renderer;  // one thread, bound to a 128 x 128 image
    RandomStream& random;   // the renderer's
    std::function<uint32_t()> clockMs = steadyClockMs;
    const FrameCheck* check = nullptr;
    // Told of every frame rendered (row number; false for the warm-up).
    std::function<void(int row, bool timed)> frameRendered = nullptr;
    uint32_t* elapsedMs = nullptr;   // holds renderMs afterwards, if given
    uint32_t* lastTickMs = nullptr;  // holds the render phase's start, if given
};

// The walk, the warm-up and the 32 timed frames, in that order.
EntryFigures runBenchEntry(EntryRun& run);

// What the checks of the entry's frames found, as one line (no line end).
std::string entryCheckLine(int wrongFrames);

}  // namespace lumek
