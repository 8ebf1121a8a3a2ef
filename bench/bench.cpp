#include "bench/bench.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "bench/export_json.h"
#include "bench/history.h"
#include "os/files.h"
#include "render/targets.h"
#include "shots/table.h"
#include "util/progress.h"
#include "util/switches.h"

namespace lumek {

namespace {

using progress::fixed;
using progress::plural;

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

// The robust figures after the entry: one thread, all threads, and one on
// each physical core where cores have several threads; each line goes to
// `people` as soon as it is measured. False when the system refused some
// of the threads: the figures are then for fewer, which stderr says at once.
bool measureRounds(BenchEnvironment& env, std::ostream& people, uint32_t startState,
                   const FrameCheck& check, BenchResult& result) {
    auto revised = [&env](const char* figure, RoundFigures figures) {
        if (!env.roundTimes) return figures;
        env.roundTimes(figure, figures.perThread);
        summarizeFigures(figures);
        return figures;
    };
    const RoundFigures& one = result.oneThread =
        revised("one", measureOneThread(startState, env.roundSeconds, check));
    people << oneThreadLine(one) << "\n" << std::flush;

    const RoundFigures& all = result.allThreads =
        revised("all", measureAllThreads(startState, env.threads, env.roundSeconds, check));
    people << allThreadsLine(all, one.msPerRound) << "\n" << std::flush;
    // Fewer threads than asked for measure another machine than the one
    // the figure's name promises: said, and not a success.
    bool allStarted = true;
    auto shortOf = [&](const RoundFigures& f, int wanted, const char* figure) {
        if (f.threads >= wanted) return;
        allStarted = false;
        if (env.err)
            *env.err << "lumek: could start only " << f.threads << " of " << wanted
                     << " threads; the " << figure << " figure is for " << f.threads << "\n"
                     << std::flush;
    };
    shortOf(all, env.threads, "all-threads");

    const std::vector<int>& cores = env.coreProcessors;
    if (env.machine.threadsPerCore > 1 && !cores.empty() &&
        static_cast<int>(cores.size()) < all.threads) {
        const RoundFigures& phys =
            *(result.physicalCores = measureAllThreads(startState, static_cast<int>(cores.size()),
                                                       env.roundSeconds, check, cores));
        people << ratingLine("Physical cores", phys,
                             " on " +
                                 plural(static_cast<uint64_t>(phys.threads), "thread", "threads") +
                                 (phys.pinned ? ", one bound to each core" : ", not bound") + " (" +
                                 plural(phys.rounds, "round", "rounds") + ")") +
                      ", " + fixed(one.msPerRound / phys.msPerRound, 2) +
                      " times one thread; the further hardware threads add " +
                      fixed((phys.msPerRound / all.msPerRound - 1) * 100, 0) + " %" +
                      notValidNote(phys.wrongFrames)
               << "\n"
               << std::flush;
        shortOf(phys, static_cast<int>(cores.size()), "physical-cores");
    }

    if (!one.perThread.empty()) people << noiseLine(one.perThread[0].summary.spread) << std::flush;
    return allStarted;
}

}  // namespace

std::string rowShaderName() {
    std::string name;
    for (const fast::RowShaderTarget& t : fast::rowShaderTargets())
        if (t.supported()) name = t.name;
    return name;
}

std::optional<int> BenchmarkRun(const char* commandLine, BenchEnvironment& env) {
    if (!switches::asks(commandLine, switches::kBench)) return std::nullopt;
    // With -json, standard output carries the record and nothing else.
    const bool json = switches::asks(commandLine, switches::kJson);
    std::ostringstream nowhere;
    std::ostream& people = json ? (env.err ? *env.err : nowhere) : (env.out ? *env.out : nowhere);

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

    BenchResult result;
    result.version = env.version;
    result.compiler = compilerName();
    result.target = targetName();
    result.rowShader = rowShaderName();
    result.local = env.localTime();
    result.workloadId = benchWorkloadId();
    result.machine = env.machine;
    result.label = env.label;
    result.renderMs = renderMs;
    result.cpuMs = cpuMs;
    result.framesChecked = kBenchFrames;
    result.wrongFrames = static_cast<uint64_t>(figures.wrongFrames);

    std::string error;
    bool written =
        os::appendToFile(env.reportPath, formatBenchReport(renderMs, cpuMs, result.local), error);
    people << formatBenchReport(renderMs, cpuMs, result.local, "\n") << std::flush;
    if (!written && env.err)
        *env.err << "lumek: cannot write " << env.reportPath << ": " << error << "\n";
    deleteSceneShapes(env.library);
    env.slots.release();

    people << entryCheckLine(figures.wrongFrames) << "\n" << std::flush;

    bool shortOfThreads = false;
    if (env.roundSeconds > 0) {
        FrameCheck roundCheck;
        roundCheck.tamper = env.tamper;
        roundCheck.wrong = [&log](const WrongFrame& w) { log(w, false); };
        shortOfThreads = !measureRounds(env, people, figures.startState, roundCheck, result);
        for (const RoundFigures* f : {&result.oneThread, &result.allThreads,
                                      result.physicalCores ? &*result.physicalCores : nullptr})
            if (f != nullptr) {
                result.framesChecked += f->rounds * (kBenchFrames - 1);
                result.wrongFrames += f->wrongFrames;
            }
    }

    if (env.recordPath != nullptr) {
        result.utc = env.utcNow();
        const History history = readHistory(env.recordPath, result);
        // A FIFO or folder is said once, by the append below.
        if (!history.unreadable.empty() && !history.refused && env.err)
            *env.err << "lumek: cannot read " << env.recordPath << ": " << history.unreadable
                     << " (this run's record is still appended, on a line of its own)\n";
        if (!history.skippedLines.empty() && env.err)
            *env.err << skippedLinesNote(env.recordPath, history.skippedLines) << "\n";
        if (history.lastComparable && env.roundSeconds > 0 && result.wrongFrames == 0)
            people << comparisonLine(*history.lastComparable, result) << "\n" << std::flush;
        const std::string record = resultJson(result);
        if (!os::appendToFile(env.recordPath, (history.unterminated ? "\n" : "") + record + "\n",
                              error)) {
            written = false;
            if (env.err)
                *env.err << "lumek: cannot write " << env.recordPath << ": " << error << "\n";
        }
        if (json && env.out) *env.out << record << "\n" << std::flush;
    }
    if (env.roundSeconds > 0)
        people << scoreLine(result.oneThread, result.allThreads) << "\n" << std::flush;

    if (result.wrongFrames != 0) return 2;
    return written && !shortOfThreads ? 0 : 1;
}

}  // namespace lumek
