#include "bench/bench.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "os/files.h"
#include "shots/table.h"
#include "util/switches.h"

namespace lumek {

namespace {

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
    explicit WrongFrameLog(std::ostream* err) : log_(err) {}

    void operator()(const WrongFrame& w, bool entry) {
        std::ostringstream line;
        line << "lumek: wrong frame: ";
        if (entry)
            line << (w.frame.index == 0 ? "the warm-up"
                                        : "the entry's frame " + std::to_string(w.frame.index));
        else
            line << "thread " << w.thread << ", round " << w.round;
        line << ", row " << w.frame.row << ", repetition " << w.frame.repetition << ": expected "
             << hashHex(w.expected) << ", got " << hashHex(w.actual) << "\n";
        log_.write(line.str());
    }

  private:
    LineLog log_;
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

std::optional<int> BenchmarkRun(const char* commandLine, BenchEnvironment& env) {
    if (!switches::asks(commandLine, switches::kBench)) return std::nullopt;

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

    EntryRun run{env.library, renderer, env.random};
    run.clockMs = env.clockMs;
    run.check = &entryCheck;
    run.frameRendered = env.frameRendered;
    run.elapsedMs = &env.elapsedMs;
    run.lastTickMs = &env.lastTickMs;
    const EntryFigures figures = runBenchEntry(run);
    const uint32_t renderMs = figures.renderMs, cpuMs = figures.cpuMs;
    const int wrong = figures.wrongFrames;
    const uint32_t startState = figures.startState;

    const LocalTime when = env.localTime();
    std::string error;
    const bool written =
        os::appendToFile(env.reportPath, formatBenchReport(renderMs, cpuMs, when), error);
    if (env.out) *env.out << formatBenchReport(renderMs, cpuMs, when, "\n") << std::flush;
    if (!written && env.err)
        *env.err << "lumek: cannot write " << env.reportPath << ": " << error << "\n";
    deleteSceneShapes(env.library);
    env.slots.release();

    if (env.out) *env.out << entryCheckLine(wrong) << "\n" << std::flush;

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
