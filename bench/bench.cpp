#include "bench/bench.h"

#include <chrono>
#include <cstring>

#include "shots/shots.h"

namespace lumek {

uint32_t steadyClockMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

namespace {

// Where the walk's results go, so the optimiser must do all of its work.
volatile float walkSink;

}  // namespace

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

std::optional<int> BenchmarkRun(const char* commandLine, BenchEnvironment& env) {
    if (std::strstr(commandLine, "-bench") == nullptr) return std::nullopt;

    buildSceneLibrary(env.library);
    env.slots.currentImage = std::make_unique<FrameImage>(128, 128, 1.333f);
    // One thread, as the ratings' reference figures were measured; the
    // fastest single-thread path.
    env.slots.currentRenderer =
        std::make_unique<RayRenderer>(env.slots.currentImage.get(), env.random, 1);
    RayRenderer& renderer = *env.slots.currentRenderer;

    const uint32_t cpuStart = env.clockMs();
    runCpuWalk(env.random, kWalkSteps);
    const uint32_t cpuMs = env.clockMs() - cpuStart;

    renderShot(kShotCount, env.library, renderer);  // warm-up, untimed
    if (env.frameRendered) env.frameRendered(kShotCount, false);

    env.elapsedMs = 0;
    env.lastTickMs = env.clockMs();
    for (int row = 1; row <= kShotCount; ++row)
        for (int frame = 0; frame < kFramesPerRow; ++frame) {
            renderShot(row, env.library, renderer);
            if (env.frameRendered) env.frameRendered(row, true);
        }
    env.elapsedMs = env.clockMs() - env.lastTickMs;
    const uint32_t renderMs = env.elapsedMs;

    const LocalTime when = env.localTime();
    std::string error;
    const bool written =
        appendToFile(env.reportPath, formatBenchReport(renderMs, cpuMs, when), error);
    if (env.out) *env.out << formatBenchReport(renderMs, cpuMs, when, "\n") << std::flush;
    if (!written && env.err)
        *env.err << "lumek: cannot write " << env.reportPath << ": " << error << "\n";

    deleteSceneShapes(env.library);
    env.slots.release();
    return written ? 0 : 1;
}

}  // namespace lumek
