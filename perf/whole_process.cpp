// Whole-process figures, as a user times the command: the eight screenshots
// from lumek against the straightforward renderer in a process of its own,
// run in pairs side by side; and every frame of the show at 512 x 512 on
// every usable processor, with its median and 99th-percentile frame time.
//
//   build/perf/lumek_whole --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "os/system.h"
#include "render/renderer.h"
#include "scenes/library.h"
#include "scenes/timeline.h"

namespace lumek {
namespace {

// The program measured: this build's, or another one named in LUMEK_EXE
// (to compare builds).
std::string lumekExe() {
    const char* other = std::getenv("LUMEK_EXE");
    return other != nullptr ? other : LUMEK_EXE;
}

// Wall time of one run of a program, in a scratch folder, output dropped.
double runSeconds(const std::vector<std::string>& argv, const std::string& dir) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return seconds;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Seven pairs, each the fast program then the reference, median of each.
void BM_WholeProcessShots(benchmark::State& state) {
    const std::string dir = std::filesystem::temp_directory_path() / "lumek-whole-process";
    std::filesystem::create_directories(dir);
    const std::vector<std::string> fast = {lumekExe(), "-shot1", "-shot2", "-shot3", "-shot4",
                                           "-shot5",   "-shot6", "-shot7", "-shot8"};
    const std::vector<std::string> reference = {LUMEK_REFERENCE_SHOTS_EXE};
    std::vector<double> fastTimes, referenceTimes;
    for (auto _ : state) {
        for (int pair = 0; pair < 7; ++pair) {
            fastTimes.push_back(runSeconds(fast, dir));
            referenceTimes.push_back(runSeconds(reference, dir));
        }
    }
    std::filesystem::remove_all(dir);
    const double f = median(fastTimes), r = median(referenceTimes);
    state.counters["lumek_ms"] = 1000 * f;
    state.counters["reference_ms"] = 1000 * r;
    state.counters["times"] = r / f;
}
BENCHMARK(BM_WholeProcessShots)->Iterations(1)->Unit(benchmark::kMillisecond);

// Start-up alone: a mode that renders nothing.
void BM_WholeProcessStartUp(benchmark::State& state) {
    const std::string dir = std::filesystem::temp_directory_path() / "lumek-start-up";
    std::filesystem::create_directories(dir);
    const char* args[] = {"--help", "-shot"};
    std::vector<double> times;
    for (auto _ : state)
        for (int i = 0; i < 21; ++i)
            times.push_back(runSeconds({lumekExe(), args[state.range(0)]}, dir));
    std::filesystem::remove_all(dir);
    state.counters["median_ms"] = 1000 * median(times);
    state.SetLabel(args[state.range(0)]);
}
BENCHMARK(BM_WholeProcessStartUp)->DenseRange(0, 1)->Iterations(1)->Unit(benchmark::kMillisecond);

// Every frame of the show at 60 frames per second, as -record renders it,
// at 512 x 512 on every usable processor: frame times in milliseconds.
void BM_ShowFrameTimes512(benchmark::State& state) {
    std::vector<double> times;
    for (auto _ : state) {
        SceneLibrary library;
        buildSceneLibrary(library);
        TimelineState timeline;
        RandomStream random;
        FrameImage image(512, 512, 1.333f);
        RayRenderer renderer(&image, random, os::usableProcessors());
        renderer.prepareFor(largestScene(library));
        for (uint64_t n = 0;; ++n) {
            Vec2 c, x, y;
            float h = 1;
            if (!stepTimeline(timeline, library, static_cast<uint32_t>(n * 1000 / 60), c, x, y, h))
                break;
            const auto start = std::chrono::steady_clock::now();
            renderer.render(*timeline.currentShapes, c, x, y, h);
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        deleteSceneShapes(library);
    }
    std::sort(times.begin(), times.end());
    state.counters["frames"] = static_cast<double>(times.size());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["p99_ms"] = times[times.size() * 99 / 100];
    state.counters["max_ms"] = times.back();
}
BENCHMARK(BM_ShowFrameTimes512)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace lumek

BENCHMARK_MAIN();
