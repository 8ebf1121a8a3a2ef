#include "bench/entry.h"

#include <chrono>

#include "shots/table.h"

namespace lumek {

namespace {

// Where the walk's results go, so the optimiser must do all of its work.
volatile float walkSink;

}  // namespace

uint32_t steadyClockMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void runCpuWalk(RandomStream& random, uint32_t steps) {
    float x = 0.0f;
    float v = 0.1f;
    for (uint32_t i = 0; i < steps; ++i) {
        if ((random.next() & 1) == 0) {
            x = static_cast<float>(x + 0.07f * static_cast<double>(v));
            v = static_cast<float>(2.0 * v - 0.01 * x);  // 0.01 is a double here
        } else {
            x = static_cast<float>(x - 0.07f * static_cast<double>(v));
            v = static_cast<float>((v - 0.5f * static_cast<double>(v)) +
                                   0.01f / (static_cast<double>(x) * x + 1.0));
        }
        if (v < -2.0f)
            v = -2.0f;
        else if (v > 2.0f)
            v = 2.0f;
    }
    walkSink = x;
    walkSink = v;
}

EntryFigures runBenchEntry(EntryRun& run) {
    EntryFigures figures;
    FrameImage& image = run.renderer.image();
    auto checked = [&run, &image](const BenchFrame& frame) {
        return run.check == nullptr || run.check->check(image, 0, 0, frame);
    };

    const uint32_t cpuStart = run.clockMs();
    runCpuWalk(run.random, kWalkSteps);
    figures.cpuMs = run.clockMs() - cpuStart;

    // Every frame is checked as soon as it is rendered; a hash costs well
    // under 1 % of a frame.
    renderShot(kShotCount, run.library, run.renderer);  // warm-up, untimed
    if (run.frameRendered) run.frameRendered(kShotCount, false);
    figures.wrongFrames += !checked(benchFrame(0));
    figures.startState = run.random.state();

    uint32_t elapsed = 0;
    const uint32_t start = run.clockMs();
    if (run.elapsedMs) *run.elapsedMs = 0;
    if (run.lastTickMs) *run.lastTickMs = start;
    for (int index = 1; index < kBenchFrames; ++index) {
        const BenchFrame frame = benchFrame(index);
        renderShot(frame.row, run.library, run.renderer);
        if (run.frameRendered) run.frameRendered(frame.row, true);
        figures.wrongFrames += !checked(frame);
    }
    elapsed = run.clockMs() - start;
    if (run.elapsedMs) *run.elapsedMs = elapsed;
    figures.renderMs = elapsed;
    return figures;
}

std::string entryCheckLine(int wrongFrames) {
    if (wrongFrames == 0)
        return "Check: all " + std::to_string(kBenchFrames) +
               " frames of the entry are exactly the known-good pictures.";
    return "Check: " + std::to_string(wrongFrames) + " of " + std::to_string(kBenchFrames) +
           " frames of the entry are WRONG: its figures are not valid.";
}

}  // namespace lumek
