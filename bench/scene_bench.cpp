#include "bench/scene_bench.h"

#include <sstream>

#include "bench/export_json.h"
#include "bench/history.h"
#include "bench/rounds.h"
#include "bench/verify.h"
#include "os/files.h"
#include "render/any_size.h"
#include "scenes/scene_picture.h"
#include "util/progress.h"
#include "util/sha256.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace lumek {

namespace {

using progress::fixed;
using progress::plural;

// One thread's copy of the scene's frames.
class SceneWorker : public RoundWorker {
  public:
    SceneWorker(const SceneDocument& scene, int32_t width, int32_t height)
        : scene_(scene), picture_(slots_, width, height, 1.0f, random_, 1) {}
    ~SceneWorker() override { slots_.release(); }

    // Frame `index` of a round into the picture.
    void render(int index) {
        const int64_t frame = sceneBenchFrame(scene_, index);
        renderScenePicture(scene_, sceneFrameTime(scene_, frame), frame, picture_, random_,
                           posed_);
    }
    uint64_t hash() const { return frameHash(picture_.frame()); }

    int renderRound(const FrameCheck& check, int thread, uint64_t round,
                    std::atomic<uint64_t>* frameDone) override {
        int wrong = 0;
        for (int index = 0; index < kSceneBenchFrames; ++index) {
            render(index);
            // Index 0 of the check is the built-in benchmark's warm-up.
            if (!check.check(picture_.frame(), thread, round, {index + 1, 0, 1})) ++wrong;
            if (frameDone != nullptr) frameDone->fetch_add(1, std::memory_order_relaxed);
        }
        return wrong;
    }

  private:
    const SceneDocument& scene_;
    RenderSlots slots_;
    RandomStream random_;
    AnySizeRenderer picture_;
    PosedScene posed_;
};

}  // namespace

int64_t sceneBenchFrame(const SceneDocument& scene, int index) {
    if (!scene.animated()) return index;
    return index * scene.frameCount() / kSceneBenchFrames;
}

uint64_t sceneWorkloadId(const SceneWorkload& workload, const std::vector<uint64_t>& hashes) {
    std::string bytes = workload.sha256;
    auto put = [&bytes](uint64_t value, int size) {
        for (int i = 0; i < size; ++i) bytes += static_cast<char>(value >> (8 * i));
    };
    for (uint64_t hash : hashes) put(hash, 8);
    put(static_cast<uint64_t>(workload.width), 4);
    put(static_cast<uint64_t>(workload.height), 4);
    put(static_cast<uint64_t>(workload.frames), 4);
    return XXH3_64bits(bytes.data(), bytes.size());
}

int SceneBenchmarkRun(const SceneDocument& scene, bool json,
                      const std::optional<switches::PictureSize>& size, BenchEnvironment& env) {
    std::ostringstream nowhere;
    std::ostream& people = json ? (env.err ? *env.err : nowhere) : (env.out ? *env.out : nowhere);
    LineLog log(env.err);

    SceneWorkload workload;
    workload.sha256 = sha256Hex(writeScene(scene));
    workload.title = scene.title;
    workload.width = size ? size->width : kBenchImageSize;
    workload.height = size ? size->height : kBenchImageSize;
    workload.frames = kSceneBenchFrames;

    // The first pass: every frame once, timed, its hash the known-good one
    // for every later render. Index 0 stands for the built-in warm-up.
    std::vector<uint64_t> hashes(kSceneBenchFrames + 1, 0);
    int64_t firstPassNs = 0;
    {
        SceneWorker worker(scene, workload.width, workload.height);
        const int64_t start = steadyNanoseconds();
        for (int index = 0; index < kSceneBenchFrames; ++index) {
            worker.render(index);
            hashes[static_cast<size_t>(index) + 1] = worker.hash();
        }
        firstPassNs = steadyNanoseconds() - start;
    }
    const std::vector<uint64_t> frameHashes(hashes.begin() + 1, hashes.end());

    BenchResult result;
    result.version = env.version;
    result.compiler = compilerName();
    result.target = targetName();
    result.rowShader = rowShaderName();
    result.local = env.localTime();
    result.workloadId = sceneWorkloadId(workload, frameHashes);
    result.machine = env.machine;
    result.label = env.label;
    result.renderMs = static_cast<uint32_t>(firstPassNs / 1000000);
    result.framesChecked = 0;
    result.scene = workload;

    people << "Scene " << (scene.title.empty() ? std::string("(untitled)") : scene.title)
           << ", SHA-256 " << workload.sha256 << "\n"
           << kSceneBenchFrames << " frames at " << workload.width << " x " << workload.height
           << ": first pass " << fixed(static_cast<double>(firstPassNs) / 1e6, 1)
           << " ms on one thread; every later frame is checked against it\n"
           << std::flush;

    FrameCheck check;
    check.expected = &hashes;
    check.tamper = env.tamper;
    check.wrong = [&log](const WrongFrame& w) {
        log.write("lumek: wrong frame: thread " + std::to_string(w.thread) + ", round " +
                  std::to_string(w.round) + ", frame " + std::to_string(w.frame.index - 1) +
                  " of the round: expected " + hashHex(w.expected) + ", got " +
                  hashHex(w.actual) + "\n");
    };
    auto make = [&scene, &workload]() -> std::unique_ptr<RoundWorker> {
        return std::make_unique<SceneWorker>(scene, workload.width, workload.height);
    };
    bool allStarted = true;
    if (env.roundSeconds > 0) {
        result.oneThread = measureAllThreads(make, 1, env.roundSeconds, check);
        people << oneThreadLine(result.oneThread) << "\n" << std::flush;
        result.allThreads = measureAllThreads(make, env.threads, env.roundSeconds, check);
        people << allThreadsLine(result.allThreads, result.oneThread.msPerRound) << "\n"
               << std::flush;
        if (result.allThreads.threads < env.threads) {
            allStarted = false;
            if (env.err)
                *env.err << "lumek: could start only " << result.allThreads.threads << " of "
                         << env.threads << " threads; the all-threads figure is for "
                         << result.allThreads.threads << "\n"
                         << std::flush;
        }
        for (const RoundFigures* f : {&result.oneThread, &result.allThreads}) {
            result.framesChecked += f->rounds * kSceneBenchFrames;
            result.wrongFrames += f->wrongFrames;
        }
    }
    people << (result.wrongFrames == 0
                   ? "Check: all " + std::to_string(result.framesChecked) +
                         " frames of the rounds are exactly the first pass's pictures.\n"
                   : "Check: " + plural(result.wrongFrames, "frame", "frames") +
                         " differed from the first pass's pictures: not valid.\n")
           << std::flush;

    bool written = true;
    if (env.recordPath != nullptr) {
        result.utc = env.utcNow();
        const History history = readHistory(env.recordPath, result);
        if (!history.skippedLines.empty() && env.err)
            *env.err << skippedLinesNote(env.recordPath, history.skippedLines) << "\n";
        // Only an earlier run of this very scene, at this size, is compared.
        if (history.lastComparable && env.roundSeconds > 0 && result.wrongFrames == 0)
            people << comparisonLine(*history.lastComparable, result) << "\n" << std::flush;
        const std::string record = resultJson(result);
        std::string error;
        if (!os::appendToFile(env.recordPath, (history.unterminated ? "\n" : "") + record + "\n",
                              error)) {
            written = false;
            if (env.err)
                *env.err << "lumek: cannot write " << env.recordPath << ": " << error << "\n";
        }
        if (json && env.out) *env.out << record << "\n" << std::flush;
    }
    if (result.wrongFrames != 0) return 2;
    return written && allStarted ? 0 : 1;
}

}  // namespace lumek
