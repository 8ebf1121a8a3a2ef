#include "bench/bench.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sstream>

#include "shots/shots.h"

namespace lumek {

uint32_t steadyClockMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

namespace {

// Where the walk's results go, so the optimiser must do all of its work.
volatile float walkSink;

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string plural(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Wrong frames are reported on stderr as they are found, from any thread.
class WrongFrameLog {
  public:
    explicit WrongFrameLog(std::ostream* err) : err_(err) {}

    void operator()(const WrongFrame& w, bool entry) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (err_ == nullptr) return;
        std::ostringstream line;
        line << "lumek: wrong frame: ";
        if (entry)
            line << (w.frame.index == 0 ? "the warm-up"
                                        : "the entry's frame " + std::to_string(w.frame.index));
        else
            line << "thread " << w.thread << ", round " << w.round;
        line << ", row " << w.frame.row << ", repetition " << w.frame.repetition << ": expected "
             << hashHex(w.expected) << ", got " << hashHex(w.actual) << "\n";
        *err_ << line.str() << std::flush;
    }

  private:
    std::ostream* err_;
    std::mutex mutex_;
};

std::string ratingLine(const char* label, const RoundFigures& f, const std::string& extra) {
    std::string line = std::string(label) + ": " + fixed(f.msPerRound, 2) + " ms per 32 frames";
    line += extra;
    line += ", rating " + formatGeneral(kReferenceRenderMs / f.msPerRound) + " Tq7-Marks";
    return line;
}

// Returns the number of wrong frames among them.
uint64_t printFigures(BenchEnvironment& env, uint32_t startState, const FrameCheck& check) {
    const RoundFigures one = measureOneThread(startState, env.roundSeconds, check);
    std::string oneLine =
        ratingLine("One thread", one, " (median of " + plural(one.rounds, "round", "rounds") + ")");
    if (one.wrongFrames)
        oneLine += "; " + plural(one.wrongFrames, "wrong frame", "wrong frames") + ": not valid";
    *env.out << oneLine << "\n" << std::flush;

    const RoundFigures all = measureAllThreads(startState, env.threads, env.roundSeconds, check);
    std::string allLine =
        ratingLine("All threads", all,
                   " on " + plural(static_cast<uint64_t>(all.threads), "thread", "threads") + " (" +
                       plural(all.rounds, "round", "rounds") + ")");
    allLine += ", " + fixed(one.msPerRound / all.msPerRound, 2) + " times one thread";
    if (all.wrongFrames)
        allLine += "; " + plural(all.wrongFrames, "wrong frame", "wrong frames") + ": not valid";
    *env.out << allLine << "\n" << std::flush;
    return one.wrongFrames + all.wrongFrames;
}

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

    WrongFrameLog log(env.err);
    FrameCheck entryCheck;
    entryCheck.tamper = env.tamper;
    entryCheck.wrong = [&log](const WrongFrame& w) { log(w, true); };

    buildSceneLibrary(env.library);
    env.slots.currentImage =
        std::make_unique<FrameImage>(kBenchImageSize, kBenchImageSize, kBenchAspect);
    // One thread, as the ratings' reference figures were measured; the
    // fastest single-thread path.
    env.slots.currentRenderer =
        std::make_unique<RayRenderer>(env.slots.currentImage.get(), env.random, 1);
    RayRenderer& renderer = *env.slots.currentRenderer;
    FrameImage& image = *env.slots.currentImage;

    const uint32_t cpuStart = env.clockMs();
    runCpuWalk(env.random, kWalkSteps);
    const uint32_t cpuMs = env.clockMs() - cpuStart;

    // Every frame is checked as soon as it is rendered; a hash costs well
    // under 1 % of a frame.
    int wrong = 0;
    renderShot(kShotCount, env.library, renderer);  // warm-up, untimed
    if (env.frameRendered) env.frameRendered(kShotCount, false);
    wrong += !entryCheck.check(image, 0, 0, benchFrame(0));
    const uint32_t startState = env.random.state();

    env.elapsedMs = 0;
    env.lastTickMs = env.clockMs();
    for (int index = 1; index < kBenchFrames; ++index) {
        const BenchFrame frame = benchFrame(index);
        renderShot(frame.row, env.library, renderer);
        if (env.frameRendered) env.frameRendered(frame.row, true);
        wrong += !entryCheck.check(image, 0, 0, frame);
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

    if (env.out) {
        if (wrong == 0)
            *env.out << "Check: all " << kBenchFrames
                     << " frames of the entry are exactly the known-good pictures.\n";
        else
            *env.out << "Check: " << wrong << " of " << kBenchFrames
                     << " frames of the entry are WRONG: its figures are not valid.\n";
        *env.out << std::flush;
    }

    uint64_t wrongInRounds = 0;
    if (env.out && env.roundSeconds > 0) {
        FrameCheck roundCheck;
        roundCheck.tamper = env.tamper;
        roundCheck.wrong = [&log](const WrongFrame& w) { log(w, false); };
        wrongInRounds = printFigures(env, startState, roundCheck);
    }

    if (wrong != 0 || wrongInRounds != 0) return 2;
    return written ? 0 : 1;
}

}  // namespace lumek
